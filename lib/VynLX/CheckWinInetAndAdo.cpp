#include "CheckWinInetAndAdo.h"

TComponentRequirement ComponentRequirements[SystemComponentCount] = {
    {u"IE", 0, 0, 0x00050000},       {u"MAPI", 0, 0, 0x00010000},     {u"CAPICOM", 0, 0, 0x00020000},
    {u"MDAC", 0, 0, 0x00020032},     {u"JET", 0, 0, 0x00040000},      {u"DAO", 0, 0, 0x0003003C},
    {u"SQL-DMO", 0, 0, 0x07CE000B},  {u"CRPE", 0, 0, 0x00080005},     {u"CRPE-SQL", 0, 0, 0x00080005},
    {u"CRPE-UFL", 0, 0, 0x00080000}, {u"CRPE-XLS", 0, 0, 0x00080005},
};
