// Wide string lists stored in form streams ("Strings", "WideStrings", "WideStringsW" in UTF-8,
// "WideStrings_UTF7"): every value of a stream is offered to a list under each of these names, as
// a form editor and as the running program read them. A value of the wrong shape raises EReadError,
// ill-formed UTF-7 EVynGeneralError.
#include <cstdint>

#include "Classes.h"
#include "Exceptions.h"
#include "FormData.h"
#include "FormLoader.h"
#include "VynClasses.h"
#include "VynSysUtilsPaths.h"

namespace {

void OfferValue(const TFormValue& value, TComponent& owner) {
    for (const char* name : {"Strings", "WideStrings", "WideStringsW", "WideStrings_UTF7"}) {
        TVynStringList list;
        // A list that holds entries already reads the UTF-8 form only in design state.
        list.AppendEntry(u"existing");
        try {
            TReader reader(value, &owner, name);
            list.DefineProperties(reader);
        } catch (const EReadError&) {
        } catch (const EVynGeneralError&) {
        }
    }
}

void OfferAll(const TFormObject& object, TComponent& owner) {
    for (const TFormProperty& property : object.Properties)
        OfferValue(property.Value, owner);
    for (const TFormObject& child : object.Children)
        OfferAll(child, owner);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TFormObject root;
    try {
        root = ReadFormBinary(data, size);
    } catch (const EReadError&) {
        return 0;
    }
    for (const bool designing : {false, true}) {
        TComponent owner(nullptr);
        owner.SetDesigning(designing);
        OfferAll(root, owner);
    }
    return 0;
}
