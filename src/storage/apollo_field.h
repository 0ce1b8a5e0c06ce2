// One field of an open table, read and written through the
// table's current record.
//
// A field object belongs to its TApolloTable and lives while the table is
// open.  Reads decode the current record (Windows-1252 in the table, UTF-8
// here); writes need the table in edit or insert state and change the pending
// record, which the table writes on Post.
#ifndef ZER1_STORAGE_APOLLO_FIELD_H
#define ZER1_STORAGE_APOLLO_FIELD_H

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace zer1 {

class TApolloTable;

// How a field is read and written, decided by its dBASE type letter.
enum class TFieldKind {
    Text,      // "C": fixed width text
    Float,     // "N" with decimals or width > 4, "F": double
    SmallInt,  // "N" with 0 decimals and width <= 4: 16-bit integer
    Integer,   // "I": 32-bit binary integer
    Date,      // "D": YYYYMMDD
    Logical,   // "L": T / F
    Memo,      // "M": text in the .DBT file
    Blob,      // "B", "G", "P": bytes in the .DBT file
};

TFieldKind FieldKindOf(char typeLetter, int width, int decimals);

using TDate = std::chrono::year_month_day;

class TApolloField {
  public:
    TApolloField(TApolloTable& table, int index, std::string name, char typeLetter, int width,
                 int decimals, int offset);

    const std::string& FieldName() const { return name_; }
    char TypeLetter() const { return typeLetter_; }
    TFieldKind Kind() const { return kind_; }
    int Size() const { return width_; }
    int Decimals() const { return decimals_; }
    // Position in the record, 0 for the first field.
    int Index() const { return index_; }

    // True when the field holds only blanks (an empty memo for memo kinds).
    bool IsNull() const;

    // Text form of any kind: text without trailing blanks; numbers as stored
    // without the leading blanks ("12.50"); dates "dd.mm.yyyy"; logicals "T"
    // or "F"; memo text; "" for a blank field.  Setting it parses the same
    // forms (dates also as "YYYYMMDD", logicals also Y/N, true/false), and ""
    // blanks the field, so a value read as text and written back arrives
    // unchanged.
    std::string AsString() const;
    void SetAsString(const std::string& value);

    double AsFloat() const;
    void SetAsFloat(double value);
    int AsInteger() const;
    void SetAsInteger(int value);
    bool AsBoolean() const;
    void SetAsBoolean(bool value);
    // Nothing for a blank (or unreadable) date.
    std::optional<TDate> AsDate() const;
    void SetAsDate(const TDate& value);

    // Stores a text that is already in the table's code page (Windows-1252)
    // in a text field: cut to the field width and padded with blanks, as
    // SetAsString stores the result of its conversion.  For callers that
    // produce Windows-1252 themselves and need no detour through UTF-8.
    void SetStoredText(std::string_view bytes);

    // Takes the value of `source` (of this or another table) as
    // SetAsString(source.AsString()) would; text to text copies the stored
    // bytes without a detour through UTF-8.
    void Assign(const TApolloField& source);

    // Raw bytes of a memo or blob field, without code page conversion.
    std::string AsBytes() const;
    void SetAsBytes(const std::string& bytes);

    // Blanks the field.
    void Clear();

  private:
    friend class TApolloTable;

    std::string storedBytes() const;
    // The field's bytes in the current record ("" when the record is short).
    std::string_view storedView() const;
    void storeBytes(std::string_view bytes);
    void storeNumber(double value);
    void requireKind(bool ok, const char* what) const;

    TApolloTable& table_;
    int index_;
    std::string name_;
    char typeLetter_;
    int width_;
    int decimals_;
    int offset_;
    TFieldKind kind_;
};

}  // namespace zer1

#endif  // ZER1_STORAGE_APOLLO_FIELD_H
