#include "document/FieldReader.h"

#include "document/DocumentError.h"

#include <cmath>

namespace orvanel {

using nlohmann::json;

void FieldReader::Fail(const std::string& field, const std::string& what) const {
    throw DocumentError(file_ + ": " + field + " " + what);
}

const json& FieldReader::Member(const json& object, const std::string& field,
                                const std::string& name) const {
    if (!object.is_object() || !object.contains(name))
        Fail(field, "is missing");
    return object.at(name);
}

double FieldReader::Number(const json& value, const std::string& field) const {
    if (!value.is_number() || !std::isfinite(value.get<double>()))
        Fail(field, "is not a finite number");
    return value.get<double>();
}

std::vector<double> FieldReader::Numbers(const json& value, const std::string& field) const {
    if (!value.is_array() || value.empty())
        Fail(field, "is not a list of numbers");
    return List(value, field);
}

std::vector<double> FieldReader::List(const json& value, const std::string& field) const {
    if (!value.is_array())
        Fail(field, "is not a list of numbers");
    std::vector<double> numbers;
    for (std::size_t i = 0; i < value.size(); ++i)
        numbers.push_back(Number(value[i], Item(field, i)));
    return numbers;
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
