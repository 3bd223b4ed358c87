object TestForm: TTestForm
  Left = 10
  Top = 20
  BorderIcons = [biSystemMenu]
  BorderStyle = bsSingle
  Caption = 'Test form'
  ClientHeight = 50
  ClientWidth = 200
  Color = clBtnFace
  Font.Name = 'MS Shell Dlg 2'
  Position = poDesigned
  object Ticker: TTimer
    Interval = 20
    OnTimer = TickerTimer
  end
end
