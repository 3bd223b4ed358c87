object TranslatableForm: TTranslatableForm
  Left = 200
  Top = 120
  Caption = 'Translation sample: a caption that is long enough to need a second line'
  Hint = 'First line'#13#10'Second line with a quote: '#39'x'#39
  VynTranslatableProps.WideStrings = (
    'Caption'
    'Hint'
    'FileMenu.Caption'
    'OpenItem.Caption'
    'OpenItem.ShortCut'
    'Label1.Caption'
    'Label2.Caption'
    'Frame1.FrameLabel.Caption'
    'Grid.Columns[0].Title.Caption'
    'Grid.Columns[1].Title.Caption')
  VynInlineClasses.WideStrings = (
    'TAddressFrame')
  object MainMenu1: TMainMenu
    object FileMenu: TMenuItem
      Caption = '&File'
      object OpenItem: TMenuItem
        Caption = '&Open...'
        ShortCut = 16463
      end
    end
  end
  object Label1: TLabel
    Caption = 'Stra'#223'e'
  end
  object Panel1: TPanel
    Align = alTop
    object Label2: TLabel
      Caption = 'On the panel'
    end
    object Memo1: TMemo
      Lines.Strings = (
        'First line'
        'Second line')
    end
  end
  inline Frame1: TAddressFrame
    Left = 8
    object FrameLabel: TLabel
      Caption = 'Inside the frame'
    end
  end
  object Grid: TDBGrid
    Columns = <
      item
        Title.Caption = 'Name'
        Width = 120
      end
      item
        Title.Caption = 'City'
      end>
    Sorts = <>
  end
  object Image1: TImage
    Picture.Data = {
      0954426974
      6D6170}
  end
end
