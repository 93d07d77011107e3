#include "document/formats/RestartParts.h"

#include "document/table/DocumentError.h"
#include "document/table/DocumentFile.h"
#include "document/table/FieldReader.h"
#include "document/table/ReplacementFile.h"
#include "document/table/TableSamples.h"
#include "model/MISOFunTrans.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <nlohmann/json.hpp>

namespace orvanel {
namespace {

using nlohmann::ordered_json;

constexpr std::string_view Format = "orvanel-restart-part";
constexpr int FormatVersion = 1;

std::string Hex(double value) {
    std::array<char, 64> buffer{};
    const bool negative = std::signbit(value) && !std::isnan(value);
    const auto end = std::to_chars(buffer.data(), buffer.data() + buffer.size(),
                                   negative ? -value : value, std::chars_format::hex)
                         .ptr;
    const std::string digits(buffer.data(), end);
    if (!std::isfinite(value))
        return (negative ? "-" : "") + digits;
    return (negative ? "-0x" : "0x") + digits;
}

std::string HexWord(std::uint64_t value) {
    std::array<char, 17> buffer{};
    const auto end = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, 16).ptr;
    std::string digits(buffer.data(), end);
    return std::string(16 - digits.size(), '0') + digits;
}

class Fnv1a {
public:
    void Add(std::uint64_t word) {
        for (int byte = 0; byte < 8; ++byte) {
            hash ^= (word >> (8 * byte)) & 0xffu;
            hash *= 0x100000001b3u;
        }
    }
    std::uint64_t Value() const { return hash; }

private:
    std::uint64_t hash = 0xcbf29ce484222325u;
};

constexpr int MostOrder = IdentificationRun::MostOrder;

// The characters of a transfer function's text as a search writes it ("1·z^2+-0.5").
bool IsPolynomialText(const std::string& text) {
    return !text.empty() &&
           text.find_first_not_of("0123456789.,+-EINFAz^\xC2\xB7") == std::string::npos;
}

ordered_json FactorsJson(const std::vector<LinearModel::Factor>& factors) {
    ordered_json list = ordered_json::array();
    for (const LinearModel::Factor& factor : factors)
        list.push_back({{"pair", factor.Pair},
                        {"root", Hex(factor.Root)},
                        {"a", Hex(factor.A)},
                        {"b", Hex(factor.B)}});
    return list;
}

ordered_json ModelJson(const LinearModel& model) {
    ordered_json inputs = ordered_json::array();
    for (const LinearModel::Input& input : model.Inputs)
        inputs.push_back({{"gain", Hex(input.Gain)},
                          {"delay", input.Delay},
                          {"zeros", FactorsJson(input.Zeros)},
                          {"poles", FactorsJson(input.Poles)}});
    return {{"inputs", inputs}};
}

// The search's best model as far as the report shows it: each input's texts and the objective.
ordered_json SearchedJson(const TMISOFunTrans& model) {
    ordered_json inputs = ordered_json::array();
    for (const TFunTrans& function : model.Functions())
        inputs.push_back({{"numerator", function.NumText}, {"denominator", function.DenText}});
    return {{"objective", Hex(model.Error)}, {"inputs", inputs}};
}

ordered_json SearchJson(const FinishedSearch& search) {
    ordered_json found = {{"index", search.Index}};
    if (search.SeedDraw)
        found["seed"] = {{"draw", Hex(*search.SeedDraw)}, {"system", search.SystemSeed}};
    else
        found["seed"] = "the run's";
    if (!search.Model || !search.Searched) {
        found["model"] = nullptr;
        return found;
    }
    found["score"] = Hex(search.Score);
    found["error"] = Hex(search.Error);
    found["model"] = ModelJson(*search.Model);
    found["search_best"] = SearchedJson(*search.Searched);
    if (search.Start)
        found["start"] = ModelJson(*search.Start);
    return found;
}

double FiniteHexadecimal(const FieldReader& reader, const FieldReader::Object& object,
                         const std::string& name) {
    const double value = object.Hexadecimal(name);
    if (!std::isfinite(value))
        reader.Fail(object.Path(name), "is not a finite number");
    return value;
}

std::vector<LinearModel::Factor>
ReadFactors(const FieldReader& reader, const FieldReader::Object& input, const std::string& name) {
    const ordered_json& list = reader.Items(input(name), input.Path(name));
    if (list.size() > static_cast<std::size_t>(MostOrder))
        reader.Fail(input.Path(name), "has " + std::to_string(list.size()) +
                                          " factors; a search builds at most " +
                                          std::to_string(MostOrder));
    std::vector<LinearModel::Factor> factors =
        reader.Each(list, input.Path(name), "is not a list",
                    [&reader](const ordered_json& value, const std::string& item) {
                        const FieldReader::Object factor(reader, value, item);
                        return LinearModel::Factor{factor.Boolean("pair"),
                                                   FiniteHexadecimal(reader, factor, "root"),
                                                   FiniteHexadecimal(reader, factor, "a"),
                                                   FiniteHexadecimal(reader, factor, "b")};
                    });
    const std::size_t order = LinearModel::Degree(factors);
    if (order > static_cast<std::size_t>(MostOrder))
        reader.Fail(input.Path(name), "is of order " + std::to_string(order) +
                                          "; a search builds at most " + std::to_string(MostOrder));
    return factors;
}

// The model in the member `name` of the search.
LinearModel ReadModel(const FieldReader& reader, const FieldReader::Object& search,
                      const std::string& name) {
    const FieldReader::Object model = search.Member(name);
    return LinearModel{reader.Each(model("inputs"), model.Path("inputs"), "is not a list",
                                   [&reader](const ordered_json& value, const std::string& item) {
                                       const FieldReader::Object input(reader, value, item);
                                       return LinearModel::Input{
                                           FiniteHexadecimal(reader, input, "gain"),
                                           ReadFactors(reader, input, "zeros"),
                                           ReadFactors(reader, input, "poles"),
                                           static_cast<int>(input.Integer("delay", 0, 1 << 30))};
                                   })};
}

std::string PolynomialText(const FieldReader& reader, const FieldReader::Object& input,
                           const std::string& name) {
    std::string text = input.Text(name);
    if (!IsPolynomialText(text))
        reader.Fail(input.Path(name), "is not a polynomial in z");
    return text;
}

std::shared_ptr<const TMISOFunTrans> ReadSearched(const FieldReader& reader,
                                                  const FieldReader::Object& search) {
    const FieldReader::Object best = search.Member("search_best");
    const ordered_json& inputs = reader.Items(best("inputs"), best.Path("inputs"));
    if (inputs.empty())
        reader.Fail(best.Path("inputs"), "is empty");
    auto model = std::make_shared<TMISOFunTrans>();
    model->SetInputCount(static_cast<int>(inputs.size()));
    for (std::size_t k = 0; k < inputs.size(); ++k) {
        const FieldReader::Object input(reader, inputs[k],
                                        FieldReader::Item(best.Path("inputs"), k));
        model->Functions()[k].NumText = PolynomialText(reader, input, "numerator");
        model->Functions()[k].DenText = PolynomialText(reader, input, "denominator");
    }
    model->Error = best.Hexadecimal("objective");
    return model;
}

FinishedSearch ReadSearch(const FieldReader& reader, const ordered_json& value,
                          const std::string& field, int restarts) {
    const FieldReader::Object search(reader, value, field);
    FinishedSearch found;
    found.Index = static_cast<int>(search.Integer("index", 0, restarts - 1));
    if (search("seed").is_object()) {
        const FieldReader::Object seed = search.Member("seed");
        found.SeedDraw = seed.Hexadecimal("draw");
        found.SystemSeed = static_cast<std::uint32_t>(seed.Integer("system", 0, UINT32_MAX));
    }
    if (search("model").is_null())
        return found;
    found.Score = search.Hexadecimal("score");
    found.Error = FiniteHexadecimal(reader, search, "error");
    found.Model = ReadModel(reader, search, "model");
    if (search.Contains("start"))
        found.Start = ReadModel(reader, search, "start");
    found.Searched = ReadSearched(reader, search);
    return found;
}

RestartParts::Identity ReadIdentity(const FieldReader& reader,
                                    const FieldReader::Object& document) {
    RestartParts::Identity run;
    run.DataChecksum = document.Text("data_checksum");
    const ordered_json& options = document("options");
    if (!options.is_object())
        reader.Fail("options", "is not an object");
    for (const auto& [name, value] : options.items()) {
        if (!value.is_number())
            reader.Fail("options." + name, "is not a number");
        run.Options.emplace_back(name, value.get<double>());
    }
    run.Restarts = static_cast<int>(document.Integer("restarts", 1, 1 << 20));
    return run;
}

std::string OptionText(const std::pair<std::string, double>& option) {
    std::array<char, 32> buffer{};
    const auto end = std::to_chars(buffer.data(), buffer.data() + buffer.size(), option.second).ptr;
    return "--" + option.first + " " + std::string(buffer.data(), end);
}

// "has 2 transfer functions; the data have 1 input".
std::string InputsText(std::size_t functions, std::size_t inputs) {
    return "has " + std::to_string(functions) +
           (functions == 1 ? " transfer function" : " transfer functions") + "; the data have " +
           std::to_string(inputs) + (inputs == 1 ? " input" : " inputs");
}

} // namespace

std::string RestartParts::Checksum(const TableSamples& samples) {
    Fnv1a hash;
    const auto columns = static_cast<std::size_t>(samples.Inputs()) + 1;
    hash.Add(static_cast<std::uint64_t>(samples.Samples()));
    hash.Add(columns);
    for (int r = 0; r < samples.Samples(); ++r) {
        for (const double value : samples.Row(r).first(columns))
            hash.Add(std::bit_cast<std::uint64_t>(value));
    }
    return HexWord(hash.Value());
}

std::string RestartParts::Text(const Part& part) {
    ordered_json options = ordered_json::object();
    for (const auto& [name, value] : part.Run.Options)
        options[name] = value;
    ordered_json document = {{"format", Format},
                             {"format_version", FormatVersion},
                             {"data_checksum", part.Run.DataChecksum},
                             {"options", options},
                             {"restarts", part.Run.Restarts},
                             {"slices", part.Slices},
                             {"slice", part.Slice}};
    if (part.Slice == 0)
        document["evolution"] = {{"last_generation", part.LastGeneration},
                                 {"rows", part.EvolutionRows}};
    ordered_json searches = ordered_json::array();
    for (const FinishedSearch& search : part.Searches)
        searches.push_back(SearchJson(search));
    document["searches"] = searches;
    return document.dump(1) + "\n";
}

void RestartParts::Write(const std::string& path, const Part& part) {
    ReplacementFile file(path, ReplacementFile::Links::Replace,
                         "Cannot create the part file " + path,
                         "The part file " + path + " could not be written completely");
    file.Write(Text(part));
    file.Commit();
}

RestartParts::Part RestartParts::Read(const std::string& path) {
    return Parse(DocumentFile::ReadText(path), path);
}

RestartParts::Part RestartParts::Parse(const std::string& text, const std::string& name) {
    const FieldReader reader(name);
    const ordered_json document = reader.Document(text, Format, "a part file of restarts");
    const FieldReader::Object member(reader, document, "");
    // A version is a whole number; a later one is named as it is.
    member.Integer("format_version", 0, INT32_MAX);
    reader.CheckVersion(document, FormatVersion);
    Part part;
    part.Run = ReadIdentity(reader, member);
    part.Slices = static_cast<int>(member.Integer("slices", 1, 1 << 20));
    part.Slice = static_cast<int>(member.Integer("slice", 0, part.Slices - 1));
    if (part.Slice == 0) {
        const FieldReader::Object evolution = member.Member("evolution");
        part.LastGeneration = static_cast<int>(evolution.Integer("last_generation", -1, INT32_MAX));
        part.EvolutionRows = evolution.Text("rows");
    }
    part.Searches =
        reader.Each(member("searches"), member.Path("searches"), "is not a list",
                    [&reader, &part](const ordered_json& search, const std::string& item) {
                        return ReadSearch(reader, search, item, part.Run.Restarts);
                    });
    return part;
}

RestartParts::RestartParts(Identity expected, DataShape data)
    : expected(std::move(expected)), data(data) {}

void RestartParts::Add(const std::string& name, Part part) {
    CheckSameRun(name, part);
    if (names.empty()) {
        names.resize(static_cast<std::size_t>(part.Slices));
        merged.Run = part.Run;
        merged.Slices = part.Slices;
    }
    if (part.Slices != merged.Slices)
        throw DocumentError(name + " is slice " + std::to_string(part.Slice) + " of " +
                            std::to_string(part.Slices) + "; " +
                            *std::find_if(names.begin(), names.end(),
                                          [](const std::string& n) { return !n.empty(); }) +
                            " is one of " + std::to_string(merged.Slices));
    std::string& seen = names[static_cast<std::size_t>(part.Slice)];
    if (!seen.empty())
        throw DocumentError(name + " holds slice " + std::to_string(part.Slice) + " of " +
                            std::to_string(part.Slices) + ", which " + seen + " holds too");
    CheckComplete(name, part);
    CheckModels(name, part);
    seen = name;
    if (part.Slice == 0) {
        merged.EvolutionRows = std::move(part.EvolutionRows);
        merged.LastGeneration = part.LastGeneration;
    }
    merged.Searches.insert(merged.Searches.end(), part.Searches.begin(), part.Searches.end());
    std::sort(merged.Searches.begin(), merged.Searches.end(),
              [](const auto& a, const auto& b) { return a.Index < b.Index; });
}

void RestartParts::CheckSameRun(const std::string& name, const Part& part) const {
    if (part.Run.DataChecksum != expected.DataChecksum)
        throw DocumentError(name + " is a part of a run on other data (checksum " +
                            part.Run.DataChecksum + "; these data have " + expected.DataChecksum +
                            ")");
    if (part.Run.Restarts != expected.Restarts)
        throw DocumentError(name + " is a part of a run of " + std::to_string(part.Run.Restarts) +
                            " searches; this run has " + std::to_string(expected.Restarts));
    for (std::size_t k = 0; k < expected.Options.size(); ++k) {
        if (k >= part.Run.Options.size() || part.Run.Options[k] != expected.Options[k])
            throw DocumentError(
                name + " is a part of a run with other options: " +
                (k < part.Run.Options.size() ? OptionText(part.Run.Options[k]) : "nothing") +
                " there, " + OptionText(expected.Options[k]) + " here");
    }
    if (part.Run.Options.size() != expected.Options.size())
        throw DocumentError(name + " is a part of a run with other options: " +
                            OptionText(part.Run.Options[expected.Options.size()]) +
                            " there, nothing here");
}

// A part holds one entry for each search of its slice, in index order.
void RestartParts::CheckComplete(const std::string& name, const Part& part) const {
    std::size_t entry = 0;
    for (int k = part.Slice; k < expected.Restarts; k += part.Slices, ++entry) {
        if (entry >= part.Searches.size() || part.Searches[entry].Index != k)
            throw DocumentError(name + " does not hold search " + std::to_string(k) + " of slice " +
                                std::to_string(part.Slice) + " of " + std::to_string(part.Slices));
    }
    if (entry != part.Searches.size())
        throw DocumentError(name + " holds searches that are not of slice " +
                            std::to_string(part.Slice) + " of " + std::to_string(part.Slices));
}

// Every model of the part, as the merge will use it, fits the data.
void RestartParts::CheckModels(const std::string& name, const Part& part) const {
    const FieldReader reader(name);
    for (std::size_t k = 0; k < part.Searches.size(); ++k) {
        const FinishedSearch& search = part.Searches[k];
        const std::string field = FieldReader::Item("searches", k);
        if (search.Model)
            CheckModel(reader, *search.Model, FieldReader::Path(field, "model"));
        if (search.Start)
            CheckModel(reader, *search.Start, FieldReader::Path(field, "start"));
        if (search.Searched && search.Searched->Functions().size() != data.Inputs)
            reader.Fail(FieldReader::Path(field, "search_best.inputs"),
                        InputsText(search.Searched->Functions().size(), data.Inputs));
    }
}

void RestartParts::CheckModel(const FieldReader& reader, const LinearModel& model,
                              const std::string& field) const {
    const std::string inputs = FieldReader::Path(field, "inputs");
    if (model.Inputs.size() != data.Inputs)
        reader.Fail(inputs, InputsText(model.Inputs.size(), data.Inputs));
    for (std::size_t i = 0; i < model.Inputs.size(); ++i) {
        const auto delay = static_cast<std::size_t>(model.Inputs[i].Delay);
        if (delay >= data.Rows)
            reader.Fail(FieldReader::Path(FieldReader::Item(inputs, i), "delay"),
                        "is " + std::to_string(delay) + ", not below the data's " +
                            std::to_string(data.Rows) + " rows");
    }
}

std::string RestartParts::MissingSlice(std::size_t slice, std::size_t slices) {
    const std::string index = std::to_string(slice);
    const std::string count = std::to_string(slices);
    return "slice " + index + " of " + count + " is missing: rerun it with --restart-slice " +
           index + "/" + count;
}

const RestartParts::Part& RestartParts::Merged() const {
    if (names.empty())
        throw DocumentError("No part file given");
    for (std::size_t slice = 0; slice < names.size(); ++slice) {
        if (names[slice].empty())
            throw DocumentError(MissingSlice(slice, names.size()));
    }
    return merged;
}

} // namespace orvanel
