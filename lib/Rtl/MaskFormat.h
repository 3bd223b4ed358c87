// The framework's edit-mask formatter: a field's value shown through its input mask, as the
// string fields' display text uses it. Platform-free; the mask is untrusted text (it comes from
// stored descriptions), so every mask and every value gives a result and nothing is read beyond
// either.
//
// A mask has up to three sections separated by ';' (the first ';' not escaped by '\' ends the
// first section):
//
//   mask ; saveLiterals ; blank        "!99/99/0000;1;_"   "(000) 000-0000;0; "
//
// - mask: input positions, literals and directives.
//     input positions  0 9 # L l A a C c &   (digit, digit or blank, digit or sign, letter, ...;
//                                             whether a position is required only matters to an
//                                             editor: the formatter fills every kind alike)
//     case shifts      >  upper case for the positions that follow, <  lower case, <>  no shift
//                      (ASCII letters only: the value's bytes are in an unknown code page)
//     \x               the character x as a literal (a '\' that ends the mask is a literal '\')
//     !                the value fills the positions from the end: missing characters show first
//     anything else    a literal, shown as written (':' and '/' included: no locale applies)
// - saveLiterals: '0' when the value holds only the characters of the input positions; any other
//   text, or no section, when it holds the literals in place as well.
// - blank: its first character shows a position the value leaves empty; '_' without one (the
//   usual default of edit masks).
#pragma once

#include "SysTypes.h"

// The value formatted with the mask. An empty mask section gives the value unchanged.
//
// Without saved literals the value's characters fill the input positions in order (from the end
// with '!'), literals are inserted between them and empty positions show the blank.
//
// With saved literals the value is read field by field: the characters up to the next occurrence
// of the literal that follows a run of input positions fill that run (short fields are padded
// with blanks, at the end, or at the start with '!'), and that literal in the value is skipped.
//
// No character of the value is dropped: characters beyond the positions of the mask (or of one
// field) follow the last position they overflow (precede the first with '!').
AnsiString FormatMaskText(const AnsiString& mask, const AnsiString& value);
