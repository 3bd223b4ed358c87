object VynFlashForm: TVynFlashForm
  Left = 356
  Top = 283
  BorderIcons = []
  BorderStyle = bsToolWindow
  Caption = 'VynFlashForm'
  ClientHeight = 213
  ClientWidth = 216
  Color = clBtnFace
  Font.Charset = DEFAULT_CHARSET
  Font.Color = clWindowText
  Font.Height = -11
  Font.Name = 'MS Shell Dlg 2'
  Font.Style = []
  OldCreateOrder = True
  Position = poScreenCenter
  PixelsPerInch = 96
  TextHeight = 13
end
