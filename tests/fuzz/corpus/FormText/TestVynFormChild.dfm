inherited TestVynFormChild: TTestVynFormChild
  Caption = 'Child '#1046
  object Ticker: TTimer
    Interval = 50
  end
end
