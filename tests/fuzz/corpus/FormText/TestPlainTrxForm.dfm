object TestPlainTrxForm: TTestPlainTrxForm
  Left = 10
  Top = 10
  Caption = 'Plain'
  ClientHeight = 40
  ClientWidth = 160
end
