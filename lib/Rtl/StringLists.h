// The framework's lists of ANSI strings: TStrings, the abstract list every ANSI list shares, and
// TStringList, a plain list that keeps its entries in order of insertion. Each entry holds its
// text and a reference to an object that the list does not own.
#pragma once

#include <cstdint>
#include <vector>

#include "Classes.h"
#include "Streams.h"

class TStrings : public TPersistent {
    RTL_DECLARE_CLASS_INFO()
public:
    virtual int32_t Count() const = 0;
    // Index errors raise EStringListError "List index out of bounds (%d)".
    virtual AnsiString Strings(int32_t index) const = 0;
    AnsiString operator[](int32_t index) const { return Strings(index); }
    // Keeps the entry's object.
    virtual void SetStrings(int32_t index, const AnsiString& text);
    virtual TObject* Objects(int32_t index) const;
    virtual void SetObjects(int32_t index, TObject* object);

    virtual void Clear() = 0;
    virtual void Delete(int32_t index) = 0;
    virtual void Insert(int32_t index, const AnsiString& text) = 0;
    virtual void InsertObject(int32_t index, const AnsiString& text, TObject* object);
    virtual int32_t Add(const AnsiString& text);
    virtual int32_t AddObject(const AnsiString& text, TObject* object);
    // Adds every entry of other with its object, inside one update bracket.
    virtual void AddStrings(const TStrings& other);
    int32_t IndexOf(const AnsiString& text) const;

    // The entries each followed by CR LF; setting splits at CR, LF or CR LF.
    virtual AnsiString Text() const;
    virtual void SetText(const AnsiString& text);

    // The bytes of Text (every entry followed by CR LF), as they are.
    void SaveToStream(TStream& stream) const;
    // The same into a new file (an existing one is replaced). Raises EFCreateError "Cannot
    // create file <path>" (failing call CreateFileA or CreateFileW, subject the path), and
    // EWriteError when the bytes cannot all be written. Windows only; a wide path reaches every
    // file name the system allows.
    void SaveToFile(const AnsiString& path) const;
    void SaveToFile(const WideString& path) const;

    // Brackets around many edits, counted; the list hears of the outermost bracket only.
    void BeginUpdate();
    void EndUpdate();

    // A list takes the entries and objects of another list; anything else is refused.
    void Assign(const TPersistent* source) override;

protected:
    virtual void SetUpdateState(bool updating);
    int32_t UpdateCount() const { return updateCount_; }
    [[noreturn]] static void RaiseListError(const char* message, int32_t value);

private:
    int32_t updateCount_ = 0;
};

class TStringList : public TStrings {
    RTL_DECLARE_CLASS_INFO()
public:
    int32_t Count() const override { return static_cast<int32_t>(entries_.size()); }
    AnsiString Strings(int32_t index) const override;
    void SetStrings(int32_t index, const AnsiString& text) override;
    TObject* Objects(int32_t index) const override;
    void SetObjects(int32_t index, TObject* object) override;
    void Clear() override;
    void Delete(int32_t index) override;
    void Insert(int32_t index, const AnsiString& text) override;
    void InsertObject(int32_t index, const AnsiString& text, TObject* object) override;

    // Called after every change, or once when the outermost update bracket closes.
    TNotifyEvent OnChange;

protected:
    void SetUpdateState(bool updating) override;

private:
    struct Entry {
        AnsiString Text;
        TObject* Object = nullptr;
    };
    void CheckIndex(int32_t index) const;
    void Changed();

    std::vector<Entry> entries_;
};
