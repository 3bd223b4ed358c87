// The DWARF codes (versions 2 to 5 and the GNU extensions GCC emits) that the producer's reader
// of .debug_info acts on; any other tag or attribute is skipped by its form.
#pragma once

#include <cstdint>

namespace Dwarf {

// Tags
inline constexpr uint64_t TagClassType = 0x02;
inline constexpr uint64_t TagLexicalBlock = 0x0B;
inline constexpr uint64_t TagCompileUnit = 0x11;
inline constexpr uint64_t TagStructureType = 0x13;
inline constexpr uint64_t TagUnionType = 0x17;
inline constexpr uint64_t TagInlinedSubroutine = 0x1D;
inline constexpr uint64_t TagSubprogram = 0x2E;
inline constexpr uint64_t TagNamespace = 0x39;
inline constexpr uint64_t TagPartialUnit = 0x3C;

// Attributes
inline constexpr uint64_t AtName = 0x03;
inline constexpr uint64_t AtStmtList = 0x10;
inline constexpr uint64_t AtCompDir = 0x1B;
inline constexpr uint64_t AtLowPc = 0x11;
inline constexpr uint64_t AtHighPc = 0x12;
inline constexpr uint64_t AtAbstractOrigin = 0x31;
inline constexpr uint64_t AtSpecification = 0x47;
inline constexpr uint64_t AtRanges = 0x55;
inline constexpr uint64_t AtLinkageName = 0x6E;
inline constexpr uint64_t AtStrOffsetsBase = 0x72;
inline constexpr uint64_t AtAddrBase = 0x73;
inline constexpr uint64_t AtRnglistsBase = 0x74;
inline constexpr uint64_t AtMipsLinkageName = 0x2007;

// Forms
inline constexpr uint64_t FormAddr = 0x01;
inline constexpr uint64_t FormBlock2 = 0x03;
inline constexpr uint64_t FormBlock4 = 0x04;
inline constexpr uint64_t FormData2 = 0x05;
inline constexpr uint64_t FormData4 = 0x06;
inline constexpr uint64_t FormData8 = 0x07;
inline constexpr uint64_t FormString = 0x08;
inline constexpr uint64_t FormBlock = 0x09;
inline constexpr uint64_t FormBlock1 = 0x0A;
inline constexpr uint64_t FormData1 = 0x0B;
inline constexpr uint64_t FormFlag = 0x0C;
inline constexpr uint64_t FormSdata = 0x0D;
inline constexpr uint64_t FormStrp = 0x0E;
inline constexpr uint64_t FormUdata = 0x0F;
inline constexpr uint64_t FormRefAddr = 0x10;
inline constexpr uint64_t FormRef1 = 0x11;
inline constexpr uint64_t FormRef2 = 0x12;
inline constexpr uint64_t FormRef4 = 0x13;
inline constexpr uint64_t FormRef8 = 0x14;
inline constexpr uint64_t FormRefUdata = 0x15;
inline constexpr uint64_t FormIndirect = 0x16;
inline constexpr uint64_t FormSecOffset = 0x17;
inline constexpr uint64_t FormExprloc = 0x18;
inline constexpr uint64_t FormFlagPresent = 0x19;
inline constexpr uint64_t FormStrx = 0x1A;
inline constexpr uint64_t FormAddrx = 0x1B;
inline constexpr uint64_t FormRefSup4 = 0x1C;
inline constexpr uint64_t FormStrpSup = 0x1D;
inline constexpr uint64_t FormData16 = 0x1E;
inline constexpr uint64_t FormLineStrp = 0x1F;
inline constexpr uint64_t FormRefSig8 = 0x20;
inline constexpr uint64_t FormImplicitConst = 0x21;
inline constexpr uint64_t FormLoclistx = 0x22;
inline constexpr uint64_t FormRnglistx = 0x23;
inline constexpr uint64_t FormRefSup8 = 0x24;
inline constexpr uint64_t FormStrx1 = 0x25;
inline constexpr uint64_t FormStrx2 = 0x26;
inline constexpr uint64_t FormStrx3 = 0x27;
inline constexpr uint64_t FormStrx4 = 0x28;
inline constexpr uint64_t FormAddrx1 = 0x29;
inline constexpr uint64_t FormAddrx2 = 0x2A;
inline constexpr uint64_t FormAddrx3 = 0x2B;
inline constexpr uint64_t FormAddrx4 = 0x2C;
inline constexpr uint64_t FormGnuAddrIndex = 0x1F01;
inline constexpr uint64_t FormGnuStrIndex = 0x1F02;
inline constexpr uint64_t FormGnuRefAlt = 0x1F20;
inline constexpr uint64_t FormGnuStrpAlt = 0x1F21;

// Unit types (version 5)
inline constexpr uint8_t UnitCompile = 0x01;
inline constexpr uint8_t UnitType = 0x02;
inline constexpr uint8_t UnitPartial = 0x03;
inline constexpr uint8_t UnitSkeleton = 0x04;
inline constexpr uint8_t UnitSplitCompile = 0x05;
inline constexpr uint8_t UnitSplitType = 0x06;

// Range list entries (version 5)
inline constexpr uint8_t RleEndOfList = 0x00;
inline constexpr uint8_t RleBaseAddressx = 0x01;
inline constexpr uint8_t RleStartxEndx = 0x02;
inline constexpr uint8_t RleStartxLength = 0x03;
inline constexpr uint8_t RleOffsetPair = 0x04;
inline constexpr uint8_t RleBaseAddress = 0x05;
inline constexpr uint8_t RleStartEnd = 0x06;
inline constexpr uint8_t RleStartLength = 0x07;

// Line programs
inline constexpr uint8_t LnsCopy = 1;
inline constexpr uint8_t LnsAdvancePc = 2;
inline constexpr uint8_t LnsAdvanceLine = 3;
inline constexpr uint8_t LnsSetFile = 4;
inline constexpr uint8_t LnsConstAddPc = 8;
inline constexpr uint8_t LnsFixedAdvancePc = 9;
inline constexpr uint8_t LneEndSequence = 1;
inline constexpr uint8_t LneSetAddress = 2;
inline constexpr uint8_t LneDefineFile = 3;
inline constexpr uint64_t LnctPath = 1;
inline constexpr uint64_t LnctDirectoryIndex = 2;

} // namespace Dwarf
