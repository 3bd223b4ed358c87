object TestVynForm: TTestVynForm
  Left = 30
  Top = 40
  Caption = 'Wide '#20013#25991
  Hint = 'Short|Long '#20013
  ClientHeight = 60
  ClientWidth = 200
  Tag = 1
end
