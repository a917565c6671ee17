#pragma once

#include "sample/table/Messages.h"

#include <cstdint>
#include <memory>
#include <string>

namespace nirvex {

// Field types as the sample import sees them; everything it does not take is Other.
enum class TDbFieldType { SmallInt, Integer, Float, Currency, AutoInc, LargeInt, Text, Logical, Other };

// A read-only table cursor: open, walk the records from the first, read numbers, close.
class TDbTable {
public:
    virtual ~TDbTable() = default;

    // Opens databaseName + tableName (the directory with its trailing separator, then the file) and positions
    // on the first record. Raises EError with one of the texts above.
    virtual void Open(const std::string& databaseName, const std::string& tableName) = 0;
    virtual void Close() = 0;
    virtual bool Active() const = 0;

    // Records present and not deleted.
    virtual int32_t RecordCount() const = 0;
    virtual int32_t FieldCount() const = 0;
    virtual std::string FieldName(int32_t index) const = 0; // UTF-8
    virtual TDbFieldType FieldType(int32_t index) const = 0;

    // The current record's value; isNull is set when it is missing or not a finite number (and 0 returned).
    virtual double GetFloat(int32_t index, bool& isNull) const = 0;
    // The current record's value of a Text or Logical field as UTF-8, blanks trimmed at both ends; a logical
    // value is "T" or "F". False and empty for a null or blank value and for any other field.
    virtual bool GetText(int32_t index, std::string& text) const = 0;
    // Whether the current record's value of a number field is blank (or a null), as opposed to text
    // that is no number; formats that store numbers in binary have only nulls.
    virtual bool BlankNumber(int32_t /*index*/) const { return true; }
    // By name: the first field of that name, compared without regard to Latin case; an unknown name is null.
    double GetFloat(const std::string& name, bool& isNull) const;
    // Position of the first field named so, or -1.
    int32_t FieldIndex(const std::string& name) const;

    virtual void Next() = 0;
    virtual bool Eof() const = 0;
};

} // namespace nirvex
