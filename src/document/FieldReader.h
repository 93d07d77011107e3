// Reads the fields of a JSON document and names the one at fault by its path in it.
#pragma once

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace orvanel {

// Every refusal throws DocumentError "<file>: <field> <what>", the field written as a path
// ("inputs[2].denominator[1]").
class FieldReader {
public:
    explicit FieldReader(std::string file) : file_(std::move(file)) {}

    [[noreturn]] void Fail(const std::string& field, const std::string& what) const;
    // The member `name` of `object`, which is at `field`; "<field> is missing" without it.
    const nlohmann::json& Member(const nlohmann::json& object, const std::string& field,
                                 const std::string& name) const;
    double Number(const nlohmann::json& value, const std::string& field) const;
    // A non-empty list of finite numbers.
    std::vector<double> Numbers(const nlohmann::json& value, const std::string& field) const;
    // A list of finite numbers, possibly empty.
    std::vector<double> List(const nlohmann::json& value, const std::string& field) const;
    long long Integer(const nlohmann::json& value, const std::string& field, long long minimum,
                      long long maximum) const;
    bool Boolean(const nlohmann::json& value, const std::string& field) const;
    std::string Text(const nlohmann::json& value, const std::string& field) const;

    static std::string Item(const std::string& field, std::size_t index) {
        return field + "[" + std::to_string(index) + "]";
    }

private:
    std::string file_;
};

} // namespace orvanel
