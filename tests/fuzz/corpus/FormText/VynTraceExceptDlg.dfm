inherited VynTraceExceptionDialog: TVynTraceExceptionDialog
  BorderStyle = bsDialog
  ClientHeight = 257
  Constraints.MinWidth = 0
  Font.Name = 'MS Shell Dlg 2'
  PixelsPerInch = 96
  TextHeight = 13
  inherited Bevel1: TBevel
    Top = 94
    Height = 0
  end
  inherited OkBtn: TButton
    Left = 324
    Top = 61
    Width = 100
    Caption = 'OK'
  end
  inherited DetailsBtn: TButton
    Left = 8
    Top = 61
    Width = 100
    Enabled = True
  end
  inherited TextLabel: TMemo
    Left = 58
    Top = 20
    Width = 371
    Height = 27
    Hint = ''
    TabOrder = 4
  end
  inherited DetailsMemo: TMemo
    Left = 7
    Top = 96
    Width = 420
    Height = 153
    Font.Name = 'Lucida Console'
    TabOrder = 5
  end
  object ClipboardBtn: TVynButton
    Left = 113
    Top = 61
    Width = 100
    Height = 25
    Caption = 'Copy to Clipboard'
    TabOrder = 2
    Visible = False
    OnClick = ClipboardBtnClick
  end
  object EmailBtn: TVynButton
    Left = 218
    Top = 61
    Width = 100
    Height = 25
    Caption = 'Send Email'
    TabOrder = 3
    Visible = False
    OnClick = EmailBtnClick
  end
end
