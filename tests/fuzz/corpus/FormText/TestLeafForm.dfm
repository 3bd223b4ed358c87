object TestLeafForm: TTestLeafForm
  Caption = 'Leaf'
end
