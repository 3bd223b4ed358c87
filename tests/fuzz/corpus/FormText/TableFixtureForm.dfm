object TableFixtureForm: TTableFixtureForm
  Left = 10
  Top = 10
  Caption = 'Fixture caption'
  Hint = 'Not listed'
  VynTranslatableProps.WideStrings = (
    'Caption'
    'Label1.Caption'
    'Label1.ResourceString'
    'OpenItem.ShortCut'
    'Grid.Columns[1].Title.Caption'
    'Caption')
  object Label1: TLabel
    Caption = 'Stra'#223'e'
    ResourceString = 'Not a row'
  end
  object Panel1: TPanel
    object Label1: TLabel
      Caption = 'Same path as the first'
    end
  end
  object MainMenu1: TMainMenu
    object OpenItem: TMenuItem
      Caption = '&Open...'
      ShortCut = 16463
    end
  end
  object Grid: TDBGrid
    Columns = <
      item
        Title.Caption = 'Name'
      end
      item
        Title.Caption = 'City'
      end>
  end
end
