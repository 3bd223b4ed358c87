// Reads a stored form description into a component: sets its published properties by name,
// creates the components it contains by registered class name, fills the owner's fields of the
// same names and binds event handlers to the owner's published methods. Properties an object
// declares itself (TPersistent::DefineProperties) are handed to its read callbacks through a
// TReader.
#pragma once

#include <cstddef>
#include <vector>

#include "Classes.h"
#include "FormData.h"

// Reads the one stored value of a property declared through DefineProperty, in the order a
// stream holds it: lists are entered and left explicitly. Every read raises EReadError "Invalid
// property value" when the next value is of another kind or there is none.
class TReader : public TFiler {
public:
    // value is the property's stored value; owner decides the design state.
    TReader(const TFormValue& value, TComponent* owner, const AnsiString& propertyName);

    void DefineProperty(const AnsiString& name, const std::function<void(TReader&)>& read,
                        const std::function<void(TWriter&)>& write, bool hasData) override;

    // The component being read into; a reader without one reads as not in design state.
    TComponent* Owner() const { return owner_; }
    bool OwnerDesigning() const { return owner_ != nullptr && (owner_->ComponentState() & csDesigning) != 0; }

    // The kind of the next value; vaNull at the end of a list or after the last value.
    TValueType NextValue() const;
    bool EndOfList() const { return NextValue() == TValueType::vaNull; }

    void ReadListBegin();
    // Raises when the list has values left.
    void ReadListEnd();
    // Narrow strings as their bytes; wide strings whose units all fit a byte as those bytes (the
    // text form widens narrow strings that way), other wide strings by the runtime conversion.
    AnsiString ReadString();
    // Wide strings as they are; narrow strings by the runtime conversion.
    WideString ReadWideString();
    int64_t ReadInteger();
    bool ReadBoolean();
    AnsiString ReadIdent();
    // Passes over the next value, a list with everything in it.
    void SkipValue();

    // Whether a declared property took the value, and took all of it.
    bool Handled() const { return handled_; }
    bool FullyRead() const {
        return frames_.size() == 1 && frames_.back().Index == frames_.back().Items->size();
    }

private:
    struct Frame {
        const std::vector<TFormValue>* Items;
        size_t Index;
    };
    const TFormValue& Take();
    [[noreturn]] static void InvalidValue();

    std::vector<TFormValue> top_;
    std::vector<Frame> frames_;
    TComponent* owner_;
    AnsiString propertyName_;
    bool handled_ = false;
};

// Raises EReadError "Error reading <component>.<property>: <reason>" for a value that does not
// fit its property, EClassNotFound for an unknown class. Properties that no class here knows are
// kept on their component (KeptProperties) rather than rejected.
void ReadComponentFromForm(TComponent& root, const TFormObject& description);
