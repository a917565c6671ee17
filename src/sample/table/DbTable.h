#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace nirvex {

// Errors of opening a table; each is followed by the file name as given (directory and file part).
inline constexpr const char* msgTableNotFound = "Файл таблицы не найден: ";              // cannot be opened
inline constexpr const char* msgTableUnreadable = "Не удалось прочитать файл таблицы: "; // opened, read failed
inline constexpr const char* msgNotDbfTable = "Файл не является таблицей dBase: "; // unknown version byte, too short
inline constexpr const char* msgNotParadoxTable = "Файл не является таблицей Paradox: "; // not a data file of 3.0..7.x
inline constexpr const char* msgBadTableHeader = "Повреждён заголовок таблицы: ";  // sizes or descriptors disagree
inline constexpr const char* msgBadTableData = "Повреждены данные таблицы: ";      // Paradox block chain broken
inline constexpr const char* msgUnknownTableKind = "Неизвестный формат таблицы: "; // extension neither .DBF nor .DB

// Field types as the sample import sees them; everything it does not take is Other.
enum class TDbFieldType { SmallInt, Integer, Float, Currency, AutoInc, LargeInt, Other };

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
    // By name: the first field of that name, compared without regard to Latin case; an unknown name is null.
    double GetFloat(const std::string& name, bool& isNull) const;
    // Position of the first field named so, or -1.
    int32_t FieldIndex(const std::string& name) const;

    virtual void Next() = 0;
    virtual bool Eof() const = 0;
};

// The reader for the file's extension: ".DBF" dBase, ".DB" Paradox, without regard to case.
// Raises msgUnknownTableKind for anything else.
std::unique_ptr<TDbTable> CreateDbTable(const std::string& fileName);

} // namespace nirvex
