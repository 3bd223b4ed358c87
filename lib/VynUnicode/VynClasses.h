// Lists of wide strings, conversions between wide text and code pages, UTF-7 and UTF-8, the
// stream forms of wide properties, streams opened by wide file and resource names, and growable
// text builders.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "Classes.h"
#include "Streams.h"
#include "StringLists.h"
#include "SysTypes.h"
#include "TieredArray.h"

// The streams over files and resources need the operating system; the rest of the unit (text
// builders, conversions, lists) also builds natively.
#ifdef _WIN32
#include <windows.h>

#include "HandleStream.h"
#include "VynSysUtils.h"
#include "VynSystem.h"
#else
// Natively the Unicode runtime's code-page state is declared here; on Windows VynSystem, which
// needs the operating system, owns it.
#include "VynSysUtilsPaths.h"
extern uint32_t DefaultCodePage;
#endif

class TReader;

// Code pages the conversions handle themselves, on every platform.
constexpr uint32_t CodePageUtf7 = 65000;
constexpr uint32_t CodePageUtf8 = 65001;

// 65000 and 65001 convert through the UTF-7 and UTF-8 codecs below; any other code page through
// the system (natively: 0 and 3, the system code page, are Latin-1 as in the runtime's own
// conversions; 28591 Latin-1 and 1252 Windows Latin are built in). A code page the system cannot
// convert gives the empty string.
WideString AnsiToWideCP(const AnsiString& text, uint32_t codePage);
AnsiString WideToAnsiCP(const WideString& text, uint32_t codePage);

// UTF-7 as RFC 2152 describes it, writing the optional direct characters directly and closing a
// base64 run with '-' only where the next character would otherwise be read as part of it.
AnsiString Utf7Encode(const WideString& text);
// Raises EVynGeneralError "Invalid UTF7" for a byte of 0x80 or above, a run that holds no
// character, or a run whose leftover bits are not zero.
WideString Utf7Decode(const AnsiString& text);
// UTF-8 of the text; a surrogate without its partner is written as its own three-byte form, so
// that every UTF-16 text comes back unchanged.
AnsiString Utf8Encode(const WideString& text);
// Well-formed UTF-8 decodes exactly, three-byte surrogate forms included. Each ill-formed
// sequence becomes U+FFFD; nothing is read beyond the text.
WideString Utf8Decode(const AnsiString& text);

// Encodings of text files and streams, as byte-order marks tell them.
enum TVynCharSet : uint8_t { CharSetAnsi = 0, CharSetUtf16LE = 1, CharSetUtf16BE = 2, CharSetUtf8 = 3 };

// Reads the mark at the stream's position: FF FE is UTF-16LE and FE FF UTF-16BE (two bytes
// consumed), EF BB BF UTF-8 (three bytes consumed); otherwise ANSI, the position unchanged.
TVynCharSet DetectStreamCharSet(TStream& stream);

enum TVynDuplicates : uint8_t { DupIgnore = 0, DupAccept = 1, DupError = 2 };

class TAnsiStringsForWideStringsAdapter;

// A list of wide strings, each with a reference to an object it does not own. Subclasses store
// the entries; everything else is built on the operations they override.
class TVynStrings : public TPersistent {
    RTL_DECLARE_CLASS_INFO()
public:
    TVynStrings();
    ~TVynStrings() override;
    TVynStrings(const TVynStrings&) = delete;
    TVynStrings& operator=(const TVynStrings&) = delete;

    // Index errors raise EStringListError "List index out of bounds (%d)".
    virtual WideString Entry(int32_t index) const = 0;
    virtual int32_t Capacity() const;
    virtual int32_t Count() const = 0;
    virtual TObject* EntryObject(int32_t index) const;
    // Every entry followed by CR LF.
    virtual WideString AllText() const;
    // Keeps the entry's object.
    virtual void SetEntry(int32_t index, const WideString& text);
    virtual void SetEntryObject(int32_t index, TObject* object);
    virtual void SetCapacity(int32_t capacity);
    // One entry per line; lines end at CR, LF, CR LF or U+2028, and the text at its first U+0000.
    virtual void SetAllText(const WideString& text);

protected:
    // Called with true when the outermost update bracket opens, with false when it closes.
    virtual void UpdateStateChanged(bool updating);

public:
    // Negative, zero or positive; case-insensitive here, in the user's locale.
    virtual int CompareEntries(const WideString& a, const WideString& b) const;
    virtual int32_t AppendEntry(const WideString& text);
    virtual int32_t AppendWithObject(const WideString& text, TObject* object);
    // Appends every entry of other with its object, inside one update bracket.
    virtual void AppendAll(const TVynStrings& other);
    virtual void RemoveAll() = 0;
    virtual void RemoveAt(int32_t index) = 0;
    virtual void SwapEntries(int32_t first, int32_t second);
    // AllText as a zero-terminated copy that the caller owns.
    virtual std::unique_ptr<char16_t[]> CopyTextBuffer() const;
    // The first equal entry, or -1.
    virtual int32_t PositionOf(const WideString& text) const;
    // The first entry "name<KeySeparator>...", or -1.
    virtual int32_t FindName(const WideString& name) const;
    virtual int32_t PositionOfObject(const TObject* object) const;
    virtual void InsertAt(int32_t index, const WideString& text) = 0;
    virtual void InsertWithObject(int32_t index, const WideString& text, TObject* object);
    // Reads the file in the encoding its mark names (ANSI without one, in DefaultCodePage) and
    // records the encoding in LoadedCharSet. Raises EFOpenError when the file cannot be opened.
    virtual void LoadFromWideFile(const WideString& fileName);
    // Replaces the entries with the stream's text from its position to its end: UTF-16LE, or
    // with detect the encoding its mark names.
    virtual void ReadFromStream(TStream& stream, bool detect);
    // Moves the entry and its object; both indexes are checked before anything changes.
    virtual void MoveItem(int32_t from, int32_t to);
    // Always UTF-16LE with a byte-order mark, whatever LoadedCharSet says. Raises EFCreateError
    // when the file cannot be created.
    virtual void SaveToWideFile(const WideString& fileName);
    // AllText as UTF-16LE, after the mark FF FE when withMark.
    virtual void WriteToStream(TStream& stream, bool withMark);
    // A null text is the empty text.
    virtual void SetTextBuffer(const char16_t* text);

    void OpenUpdate();
    void CloseUpdate();
    // Text before the first KeySeparator; empty when there is none.
    WideString NameAt(int32_t index) const;
    // Text after NameAt and one separator; empty for a negative index.
    WideString ValueAt(int32_t index) const;
    // The value of the entry FindName finds; empty when there is none.
    WideString ValueOf(const WideString& name) const;
    // U+003D '=' until given another value.
    char16_t KeySeparator() const;
    void SetKeySeparator(char16_t separator);
    TVynCharSet LoadedCharSet() const { return loadedCharSet_; }
    // Raises EStringListError with message formatted with value.
    [[noreturn]] static void RaiseListError(const char* message, int32_t value);

    // The list as a framework ANSI list (entries converted in DefaultCodePage); setting it
    // assigns a framework list through it. Never stored.
    TAnsiStringsForWideStringsAdapter* AnsiStrings() const { return adapter_.get(); }
    void SetAnsiStrings(const TStrings& strings);

    // From another wide list (entries, objects and separator), or from a framework list
    // (converted with the adapter's code page).
    void Assign(const TPersistent* source) override;
    // Stored as "WideStrings" (and "WideStrings_UTF7" when an entry is beyond what the ANSI form
    // keeps); read also from "Strings", "WideStringsW" and "WideStrings_UTF7".
    void DefineProperties(TFiler& filer) override;

protected:
    void AssignTo(TPersistent* destination) const override;
    int32_t UpdateCount() const { return updateCount_; }

private:
    TPersistent* AnsiStringsObject();
    bool ShouldWriteWideStrings(const TFiler& filer) const;
    bool NeedsUtf7Form() const;
    void ReadGeneral(TReader& reader);
    void ReadUtf8Form(TReader& reader);
    void ReadUtf7Form(TReader& reader);
    // Reads a list of encoded entries; takes it into the list only when takeIt, else skips it.
    void ReadEncodedForm(TReader& reader, bool takeIt, WideString (*decode)(const AnsiString&));

    std::unique_ptr<TAnsiStringsForWideStringsAdapter> adapter_;
    TVynCharSet loadedCharSet_ = CharSetUtf16LE;
    mutable bool separatorSet_ = false;
    mutable char16_t keySeparator_ = u'=';
    int32_t updateCount_ = 0;
};

// Holds an update bracket of a list open to the end of a scope.
class TVynUpdateBracket {
public:
    explicit TVynUpdateBracket(TVynStrings& list);
    // Raises what CloseUpdate raises, unless an exception is already on its way.
    ~TVynUpdateBracket() noexcept(false);
    TVynUpdateBracket(const TVynUpdateBracket&) = delete;
    TVynUpdateBracket& operator=(const TVynUpdateBracket&) = delete;

private:
    TVynStrings& list_;
    int uncaughtAtOpening_;
};

class TVynStringList;
// Compares entries i and j of the list: negative, zero or positive.
using TVynStringListSortCompare = std::function<int(TVynStringList& list, int32_t i, int32_t j)>;

// The wide string list: optionally sorted (with a duplicates rule), case-insensitive unless
// told otherwise, with change events.
class TVynStringList : public TVynStrings {
    RTL_DECLARE_CLASS_INFO()
public:
    TVynStringList() = default;
    // Fires no events.
    ~TVynStringList() override;

    WideString Entry(int32_t index) const override;
    int32_t Capacity() const override { return capacity_; }
    int32_t Count() const override { return count_; }
    TObject* EntryObject(int32_t index) const override;
    void SetEntry(int32_t index, const WideString& text) override;
    void SetEntryObject(int32_t index, TObject* object) override;
    // Raises EStringListError "List capacity out of bounds (%d)" below Count.
    void SetCapacity(int32_t capacity) override;
    int CompareEntries(const WideString& a, const WideString& b) const override;
    int32_t AppendEntry(const WideString& text) override;
    // Unsorted: at the end. Sorted: at its place; an equal entry is returned (DupIgnore),
    // raises "String list does not allow duplicates" (DupError) or precedes the equal ones.
    int32_t AppendWithObject(const WideString& text, TObject* object) override;
    void RemoveAll() override;
    void RemoveAt(int32_t index) override;
    void SwapEntries(int32_t first, int32_t second) override;
    int32_t PositionOf(const WideString& text) const override;
    int32_t FindName(const WideString& name) const override;
    // Raise "Operation not allowed on sorted list" while Sorted.
    void InsertAt(int32_t index, const WideString& text) override;
    void InsertWithObject(int32_t index, const WideString& text, TObject* object) override;
    void MoveItem(int32_t from, int32_t to) override;

    // Binary search: true when an equal entry exists; index is where text belongs (with
    // DupAccept the first of a run of equal entries).
    virtual bool SearchSorted(const WideString& text, int32_t& index) const;
    // Sorts by CompareEntries; nothing when already Sorted.
    virtual void SortAll();
    // Sorts by compare (not a stable sort); nothing when Sorted or fewer than two entries.
    virtual void SortWith(const TVynStringListSortCompare& compare);

    bool Sorted() const { return sorted_; }
    // Sorts first when turned on.
    void SetSorted(bool sorted);
    TVynDuplicates Duplicates() const { return duplicates_; }
    void SetDuplicates(TVynDuplicates duplicates) { duplicates_ = duplicates; }
    bool CaseSensitive() const { return caseSensitive_; }
    // A sorted list is sorted again by the new comparison, so that searching stays right.
    void SetCaseSensitive(bool caseSensitive);

    // After and before each change, or once around an update bracket; the sender is the list.
    TNotifyEvent OnChange;
    TNotifyEvent OnChanging;

protected:
    void UpdateStateChanged(bool updating) override;
    virtual void NotifyChanged();
    virtual void NotifyChanging();
    virtual void PlaceEntry(int32_t index, const WideString& text, TObject* object);

private:
    struct TVynStringItem {
        WideString Text;
        TObject* Object = nullptr;
    };
    void CheckIndex(int32_t index) const;
    void CheckNotSorted() const;
    void Grow();
    void QuickSort(int32_t left, int32_t right, const TVynStringListSortCompare& compare);

    // Blocks, so that an insert in the middle of a long sorted list moves few entries.
    TTieredArray<TVynStringItem> entries_;
    int32_t count_ = 0;
    // Grows in the steps callers see; the blocks hold only what is in use.
    int32_t capacity_ = 0;
    bool sorted_ = false;
    TVynDuplicates duplicates_ = DupIgnore;
    bool caseSensitive_ = false;
};

// A framework ANSI list that can also read and write itself in a given code page.
class TAnsiStrings : public TStrings {
    RTL_DECLARE_CLASS_INFO()
public:
    virtual void ReadFromStreamInCodePage(TStream& stream, uint32_t codePage) = 0;
    virtual void WriteToStreamInCodePage(TStream& stream, uint32_t codePage) = 0;
};

// Presents a wide list as an ANSI list: entries are converted in ConversionCodePage on the way
// out and on the way in; counts, objects, deletions and update brackets pass through.
class TAnsiStringsForWideStringsAdapter : public TAnsiStrings {
    RTL_DECLARE_CLASS_INFO()
public:
    explicit TAnsiStringsForWideStringsAdapter(TVynStrings& wideStrings, int32_t adapterCodePage = 0);

    // AdapterCodePage, or DefaultCodePage at the moment of the conversion when that is 0.
    virtual uint32_t ConversionCodePage() const;
    int32_t AdapterCodePage() const { return adapterCodePage_; }

    int32_t Count() const override;
    AnsiString Strings(int32_t index) const override;
    void SetStrings(int32_t index, const AnsiString& text) override;
    TObject* Objects(int32_t index) const override;
    void SetObjects(int32_t index, TObject* object) override;
    void Clear() override;
    void Delete(int32_t index) override;
    void Insert(int32_t index, const AnsiString& text) override;
    void InsertObject(int32_t index, const AnsiString& text, TObject* object) override;
    // Appends as the wide list appends, so that a sorted list takes entries at their places.
    int32_t Add(const AnsiString& text) override;
    int32_t AddObject(const AnsiString& text, TObject* object) override;

    // The bytes from the position to the end, converted in codePage, become the list's text.
    void ReadFromStreamInCodePage(TStream& stream, uint32_t codePage) override;
    // The list's text converted to codePage, without mark or terminator.
    void WriteToStreamInCodePage(TStream& stream, uint32_t codePage) override;

protected:
    void SetUpdateState(bool updating) override;

private:
    TVynStrings& wideStrings_;
    int32_t adapterCodePage_;
};

// Declares the stored forms of the object's wide published properties on the filer: for a
// wide-string property N, "NW" (UTF-8, read only) and "N_UTF7" (UTF-7, written when the value
// is beyond what its ANSI form keeps); for a wide-character property N, "NW" (a one-character
// wide string) and "N_UTF7" (read only). The UTF-7 and UTF-8 forms are read in design state
// only; elsewhere the published property itself carries the value.
void DefineWideProperties(TFiler& filer, TPersistent& instance);

#ifdef _WIN32
// File-open mode that means "create or truncate".
constexpr uint16_t fmCreate = 0xFFFF;
constexpr uint16_t fmOpenRead = 0x0000;
constexpr uint16_t fmOpenWrite = 0x0001;
constexpr uint16_t fmOpenReadWrite = 0x0002;
constexpr uint16_t fmShareDenyWrite = 0x0020;

// A file opened by wide name; owns its handle.
class TVynFileStream : public THandleStream {
public:
    // Raises EFCreateError "Cannot create file %s" or EFOpenError "Cannot open file %s".
    TVynFileStream(const WideString& fileName, uint16_t mode);
    ~TVynFileStream() override;
    TVynFileStream(const TVynFileStream&) = delete;
    TVynFileStream& operator=(const TVynFileStream&) = delete;
};

class TVynMemoryStream : public TMemoryStream {
public:
    void LoadFromWideFile(const WideString& fileName);
};

// The data of a resource, read only: its memory is the locked resource.
class TVynResourceStream : public TCustomMemoryStream {
public:
    // type is zero-terminated wide text or an integer resource identifier (MAKEINTRESOURCE);
    // raises EResNotFound "Resource %s not found".
    TVynResourceStream(HMODULE module, const WideString& name, const char16_t* type);
    ~TVynResourceStream() override;
    TVynResourceStream(const TVynResourceStream&) = delete;
    TVynResourceStream& operator=(const TVynResourceStream&) = delete;

    // Raises EStreamError: a resource cannot be written.
    int32_t Write(const void* buffer, int32_t count) override;
    // Creates (or truncates) the file and writes the whole resource to it.
    void SaveToWideFile(const WideString& fileName);

private:
    HRSRC resourceInfo_ = nullptr;
    HGLOBAL resourceData_ = nullptr;
};

#endif // _WIN32

// A growable text builder whose buffer is kept across Reset, so reuse allocates rarely.
class TBufferedAnsiString {
public:
    void Reset();
    void AppendChar(char ch);
    void AppendText(const AnsiString& text);
    AnsiString AccumulatedText() const;
    size_t BufferLength() const { return buffer_.size(); }

private:
    AnsiString buffer_;
    int32_t lastWriteIndex_ = 0;
};

class TBufferedWideString {
public:
    void Reset();
    void AppendChar(char16_t ch);
    void AppendText(const WideString& text);
    // Appends the units of text up to its first zero unit, at most maxCount of them.
    void AppendBuffer(const char16_t* text, int32_t maxCount);
    WideString AccumulatedText() const;
    const char16_t* BufferPointer() const { return buffer_.c_str(); }
    size_t BufferLength() const { return buffer_.size(); }

private:
    WideString buffer_;
    int32_t lastWriteIndex_ = 0;
};
