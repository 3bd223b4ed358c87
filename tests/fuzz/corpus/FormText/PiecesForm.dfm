object PiecesForm: TPiecesForm
  Left = 0
  Top = 0
  BorderStyle = bsSizeable
  BorderIcons = [biSystemMenu]
  Caption = 'PiecesForm'
  ClientHeight = 255
  ClientWidth = 432
  Color = clBtnFace
  Constraints.MinWidth = 200
  Constraints.MinHeight = 150
  Constraints.MaxWidth = 900
  Font.Charset = DEFAULT_CHARSET
  Font.Height = -11
  Font.Name = 'MS Sans Serif'
  KeyPreview = True
  ShowHint = True
  Position = poScreenCenter
  ActiveControl = OkBtn
  OnCreate = FormCreate
  OnKeyDown = FormKeyDown
  OnPaint = FormPaint
  OnResize = FormResize
  OnShow = FormShow
  object Bevel1: TBevel
    Left = 3
    Top = 91
    Width = 428
    Height = 9
    Anchors = [akLeft, akTop, akRight]
    Shape = bsTopLine
  end
  object TextLabel: TMemo
    Left = 56
    Top = 8
    Width = 281
    Height = 75
    Hint = 'Use Ctrl+C to copy the report'
    Anchors = [akLeft, akTop, akRight]
    BorderStyle = bsNone
    Lines.Strings = (
      'First line'
      'Second line')
    ParentColor = True
    ReadOnly = True
    TabOrder = 4
    WantReturns = False
  end
  object DetailsMemo: TMemo
    Left = 4
    Top = 101
    Width = 424
    Height = 150
    Anchors = [akLeft, akTop, akRight, akBottom]
    Font.Charset = ANSI_CHARSET
    Font.Name = 'Courier New'
    Font.Height = -11
    ParentColor = True
    ParentFont = False
    ReadOnly = True
    ScrollBars = ssBoth
    TabOrder = 5
    WantReturns = False
    WordWrap = False
    OnDblClick = DetailsMemoDblClick
  end
  object OkBtn: TButton
    Left = 352
    Top = 8
    Width = 75
    Height = 25
    Anchors = [akTop, akRight]
    Caption = '&OK'
    Default = True
    ModalResult = 1
    TabOrder = 0
  end
  object DetailsBtn: TButton
    Left = 352
    Top = 40
    Width = 75
    Height = 25
    Anchors = [akTop, akRight]
    Caption = '&Details'
    Enabled = False
    TabOrder = 1
    OnClick = DetailsBtnClick
  end
end
