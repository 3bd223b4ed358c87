object FerruleForm: TFerruleForm
  Left = 556
  Top = 515
  BorderIcons = []
  BorderStyle = bsToolWindow
  Caption = 'DAO 3.60 setup'
  ClientHeight = 1
  ClientWidth = 309
  Color = clBtnFace
  Font.Charset = DEFAULT_CHARSET
  Font.Color = clWindowText
  Font.Height = -11
  Font.Name = 'MS Shell Dlg 2'
  Font.Style = []
  OldCreateOrder = True
  Position = poScreenCenter
  TaskBarButton = True
  VynTranslatableProps.WideStrings = (
    'Caption')
  PixelsPerInch = 96
  TextHeight = 13
  object Timer1: TTimer
    Interval = 250
    OnTimer = Timer1Timer
    Left = 16
    Top = 8
  end
end
