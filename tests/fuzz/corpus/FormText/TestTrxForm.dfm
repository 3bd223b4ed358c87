object TestTrxForm: TTestTrxForm
  Left = 10
  Top = 10
  Caption = 'Translatable'
  ClientHeight = 40
  ClientWidth = 160
  VynTranslatableProps.WideStrings = (
    'Label1.Caption'
    'Caption'
    'Panel1.Label1.Caption'
    'Caption')
  VynInlineClasses.WideStrings = (
    'TAddressFrame')
end
