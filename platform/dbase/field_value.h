#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/dbase/dbf_format.h"

// Reading and writing one field of a record, for every field type the engine knows. `record`
// is the whole record (deletion flag first); messages name the table by `shown_name`.
namespace orvida::dbase::internal {

// The value as text: C without trailing blanks; N and F in shortest decimal form; L as "T", "F"
// or ""; D as AAAA-MM-DD; @ and T as AAAA-MM-DD HH:MM:SS; binary numbers in decimal; memo
// fields (whose text lives in another file) as "".
std::string FieldText(Flavor flavor, const FieldLayout& field, std::string_view record);

// An empty field reads as 0. C: blanks removed at both ends, then the platform's integer
// conversion. N and F: rounded to the nearest whole number, halves away from zero. Fields that
// hold no number (L, D, memo) are an Error naming the field.
std::int32_t FieldInteger(Flavor flavor, const FieldLayout& field, std::string_view record,
                          const std::string& shown_name);
double FieldFloat(Flavor flavor, const FieldLayout& field, std::string_view record,
                  const std::string& shown_name);

// The bytes of an empty field: blanks, or zeros for binary fields.
void ClearField(Flavor flavor, const FieldLayout& field, std::string& record);

// Writing. Text is cut to the field size; a number that does not fit its field is an Error
// (never the asterisks some engines write).
void StoreText(Flavor flavor, const FieldLayout& field, std::string& record, std::string_view value,
               const std::string& shown_name);
void StoreInteger(Flavor flavor, const FieldLayout& field, std::string& record, std::int32_t value,
                  const std::string& shown_name);
void StoreFloat(Flavor flavor, const FieldLayout& field, std::string& record, double value,
                const std::string& shown_name);
void StoreLogical(Flavor flavor, const FieldLayout& field, std::string& record, bool value,
                  const std::string& shown_name);

}  // namespace orvida::dbase::internal
