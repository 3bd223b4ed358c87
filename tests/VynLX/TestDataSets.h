// A variant-array data set with columns chosen by the test, counting what the engine asks of its
// storage, and the checks the data set tests share.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <regex>
#include <string>
#include <tuple>
#include <vector>

#include "Exceptions.h"
#include "UnitRegistry.h"
#include "VynLXVarArrayDataSet.h"

struct TColumn {
    AnsiString Name;
    TFieldType Type;
    int32_t Size = 0;
    bool Required = false;
};

class TTestDataSet : public TVynVarArrayDataSet {
public:
    explicit TTestDataSet(std::vector<TColumn> columns, TComponent* owner = nullptr)
        : TVynVarArrayDataSet(owner), columns_(std::move(columns)) {}

    int32_t Position() const { return CurrentPosition(); }
    void DeleteHandle(TVynRecordHandle handle) { DeleteRecordHandle(handle); }

    // How often the view was rebuilt from the storage, and how many stored values were read.
    int Loads = 0;
    long Reads = 0;
    // Deletes to refuse (EDatabaseError "record locked") before one goes through.
    int RefusedDeletes = 0;

protected:
    void InternalInitFieldDefs() override {
        FieldDefs().Clear();
        for (const TColumn& column : columns_)
            FieldDefs().Add(column.Name, column.Type, column.Size, column.Required);
    }
    void LoadRecordHandles(TVynList& view, TVynRecordHandle current) override {
        ++Loads;
        TVynVarArrayDataSet::LoadRecordHandles(view, current);
    }
    void DeleteRecordHandle(TVynRecordHandle handle) override {
        if (RefusedDeletes > 0) {
            --RefusedDeletes;
            DatabaseError("record locked");
        }
        TVynVarArrayDataSet::DeleteRecordHandle(handle);
    }
    void ReadFieldValue(TVynRecordHandle handle, int32_t fieldIndex, TVariant& value) override {
        ++Reads;
        TVynVarArrayDataSet::ReadFieldValue(handle, fieldIndex, value);
    }

private:
    std::vector<TColumn> columns_;
};

// Starts the data set unit (its sort lock) for the test's duration.
class DataSetTest : public ::testing::Test {
protected:
    TUnitStartup units_{&VynLXDataSetUnit};
};

// The message of the exception of class E that action raises; a marker otherwise.
template <class E> std::string ErrorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const E& e) {
        return e.Message();
    } catch (const Exception& e) {
        return "<" + std::string(typeid(e).name()) + ": " + e.Message() + ">";
    } catch (...) {
        return "<a foreign exception>";
    }
    return "<nothing raised>";
}

// "<text> (<unit>, line N)" with any line.
inline ::testing::AssertionResult IsAssertionOf(const std::string& message, const std::string& text,
                                                const std::string& unit) {
    const std::regex shape(std::regex_replace(text, std::regex(R"([.()])"), R"(\$&)") + R"( \()" + unit +
                           R"(, line [1-9][0-9]*\))");
    if (std::regex_match(message, shape))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "message: " << message;
}

// The values of one field over the view, first to last.
inline std::vector<AnsiString> ColumnTexts(TDataSet& dataSet, const AnsiString& field) {
    std::vector<AnsiString> texts;
    dataSet.First();
    while (!dataSet.Eof()) {
        texts.push_back(dataSet.FieldByName(field)->AsString());
        dataSet.Next();
    }
    return texts;
}

inline void AppendRow(TDataSet& dataSet, const std::vector<TVariant>& values) {
    dataSet.Append();
    for (size_t i = 0; i < values.size(); ++i)
        dataSet.Fields()[static_cast<int32_t>(i)]->SetAsVariant(values[i]);
    dataSet.Post();
}

inline TVariant Text(const char16_t* text) {
    return TVariant::FromWide(text);
}

inline TVariant Int(int32_t value) {
    return TVariant::FromInteger(value);
}
