#include "document/table/FieldReader.h"

#include "document/table/DocumentError.h"

#include <charconv>
#include <cmath>

namespace orvanel {

using json = FieldReader::Json;

bool FieldReader::Object::Boolean(const std::string& name) const {
    return reader_.Boolean((*this)(name), Path(name));
}

double FieldReader::Object::Number(const std::string& name) const {
    return reader_.Number((*this)(name), Path(name));
}

double FieldReader::Object::Hexadecimal(const std::string& name) const {
    return reader_.Hexadecimal((*this)(name), Path(name));
}

long long FieldReader::Object::Integer(const std::string& name, long long minimum,
                                       long long maximum) const {
    return reader_.Integer((*this)(name), Path(name), minimum, maximum);
}

std::string FieldReader::Object::Text(const std::string& name) const {
    return reader_.Text((*this)(name), Path(name));
}

json FieldReader::Document(const std::string& text, std::string_view format,
                           const std::string& kind) const {
    json document = json::parse(text, nullptr, false);
    if (document.is_discarded())
        throw DocumentError(file_ + ": not a JSON document");
    if (!document.is_object() || document.value("format", json()) != format)
        throw DocumentError(file_ + ": not " + kind + " (\"format\" is not \"" +
                            std::string(format) + "\")");
    return document;
}

void FieldReader::CheckVersion(const json& document, int version) const {
    const json& found = Member(document, "", "format_version");
    if (found != version)
        Fail("format_version",
             "is " + found.dump() + "; this program reads " + std::to_string(version));
}

void FieldReader::Fail(const std::string& field, const std::string& what) const {
    throw DocumentError(file_ + ": " + field + " " + what);
}

const json& FieldReader::Member(const json& object, const std::string& field,
                                const std::string& name) const {
    if (!object.is_object() || !object.contains(name))
        Fail(Path(field, name), "is missing");
    return object.at(name);
}

double FieldReader::Number(const json& value, const std::string& field) const {
    if (!value.is_number() || !std::isfinite(value.get<double>()))
        Fail(field, "is not a finite number");
    return value.get<double>();
}

double FieldReader::Hexadecimal(const json& value, const std::string& field) const {
    std::string text = value.is_string() ? value.get<std::string>() : std::string();
    const bool negative = text.starts_with('-');
    if (negative)
        text.erase(0, 1);
    if (text.starts_with("0x"))
        text.erase(0, 2);
    else if (text != "inf" && text != "nan")
        text.clear();
    double number = 0.0;
    const auto result =
        std::from_chars(text.data(), text.data() + text.size(), number, std::chars_format::hex);
    if (text.empty() || result.ec != std::errc() || result.ptr != text.data() + text.size())
        Fail(field, "is not a hexadecimal number");
    return negative ? -number : number;
}

std::vector<double> FieldReader::Numbers(const json& value, const std::string& field) const {
    if (!value.is_array() || value.empty())
        Fail(field, "is not a list of numbers");
    return List(value, field);
}

std::vector<double> FieldReader::List(const json& value, const std::string& field) const {
    return Each(
        value, field, "is not a list of numbers",
        [this](const json& number, const std::string& item) { return Number(number, item); });
}

const json& FieldReader::Items(const json& value, const std::string& field,
                               const std::string& refusal) const {
    if (!value.is_array())
        Fail(field, refusal);
    return value;
}

long long FieldReader::Integer(const json& value, const std::string& field, long long minimum,
                               long long maximum) const {
    if (!value.is_number_integer() || value.get<long long>() < minimum ||
        value.get<long long>() > maximum)
        Fail(field, "is not a whole number from " + std::to_string(minimum) + " to " +
                        std::to_string(maximum));
    return value.get<long long>();
}

bool FieldReader::Boolean(const json& value, const std::string& field) const {
    if (!value.is_boolean())
        Fail(field, "is not true or false");
    return value.get<bool>();
}

std::string FieldReader::Text(const json& value, const std::string& field) const {
    if (!value.is_string())
        Fail(field, "is not a text");
    return value.get<std::string>();
}

} // namespace orvanel
