object TestBaseForm: TTestBaseForm
  Caption = 'Base'
  Tag = 99
end
