// The plain-text report of one identification run, written next to the document.
#pragma once

#include "document/run/ModelSummary.h"
#include "document/table/ReplacementFile.h"

#include <exception>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace orvanel {

class LinearModel;
class TGenetico;
class TMISOFunTrans;
struct IdentificationOptions;
struct IdentifiedModel;

// The separators of the user's locale that the report's texts use.
struct ReportSeparators {
    std::string Date = "/";
    std::string Time = ":";
    char Decimal = '.';
};

// A local date and time, to the second.
struct ReportTimestamp {
    int Year = 2000;
    int Month = 1;
    int Day = 1;
    int Hour = 0;
    int Minute = 0;
    int Second = 0;

    // The clock's local date and time now.
    static ReportTimestamp Now();
};

// Writes the report: BeginReport before the run, AppendEvolutionRow after every generation
// (the engine's per-generation callback), EndReport when the run is over, failed or stopped.
// Lines end with CR LF except the last; text is UTF-8. The report is written aside and moved
// into place by EndReport (ReplacementFile): until then, and for good after Abandon or when the
// report is destroyed unfinished, the previous report stays as it was; concurrent runs leave one
// complete report; a symbolic link in the report's place is replaced, never followed.
class RunReport {
public:
    explicit RunReport(ReportSeparators separators = {});

    // The report file of a document: its name without an extension of two to four characters,
    // followed by "_Report.txt", in the document's folder.
    static std::string ReportPathFor(std::string_view documentPath);

    // Starts the report that is to replace the file at path and writes the heading with the
    // engine's parameters up to the evolution table's column titles. Throws DocumentError
    // "Cannot create the report file <path>: <reason>" when it cannot be created or the file
    // there is not a regular one or may not be written.
    void BeginReport(const std::string& path, const TGenetico& engine,
                     const ReportTimestamp& now = ReportTimestamp::Now());
    // One row of the evolution table for the engine's current generation; nothing when no
    // report is open.
    void AppendEvolutionRow(const TGenetico& engine);
    // Rows as EvolutionRowText wrote them for a search run elsewhere; nothing when no report
    // is open.
    void AppendEvolutionRows(std::string_view rows);
    // Writes the best model (the search's, as the engine holds it) and its objective, or for a run
    // that failed with the text `failure` (not empty, as FailureText shows it) "RUN FAILED: " and
    // it, and moves the report into place. A `section` not empty follows the objective after two
    // empty lines. Throws DocumentError "The report file <path> could not be written completely:
    // <reason>" when anything written since BeginReport did not reach it; the previous report then
    // stays. Nothing when no report is open.
    void EndReport(const TMISOFunTrans& best, std::string_view failure = {},
                   std::string_view section = {});
    // Drops the report begun, leaving the previous one untouched. Nothing when none is open.
    void Abandon();

    bool IsOpen() const { return file != nullptr; }
    const std::string& Path() const { return path; }
    // The file the open report is written to until EndReport moves it into place; empty when
    // none is open.
    std::string TemporaryPath() const;

    // The texts of the report, also for whoever shows the same values elsewhere.
    std::string EvolutionRowText(const TGenetico& engine) const;
    // One "Input i: numerator/denominator" line per input, then the objective line, without
    // line ends.
    std::vector<std::string> OptimumLines(const TMISOFunTrans& model) const;
    // One "Input i: numerator/denominator" line per input of a model outside the search.
    std::vector<std::string> ModelLines(const LinearModel& model) const;
    // The section on the final model of a run with options: what the options did, the means
    // taken out, the refined model, per input its summary's figures and warnings, then the
    // fit figures, lines separated by CR LF.
    std::string QualityText(const IdentifiedModel& model, const IdentificationOptions& options,
                            std::span<const InputSummary> summaries = {}) const;
    // Follows "validation" where a model with offsets is judged on other data: they are taken
    // around the means the model was estimated with, as the exported model takes them.
    static constexpr std::string_view AroundEstimationMeans = ", around the estimation means";
    // The part of FitLine for other data `name` (all of them together when empty) judging a
    // model: "validation, NAME", with AroundEstimationMeans when its offsets were removed.
    static std::string OtherDataPart(const IdentifiedModel& model, std::string_view name);
    // "Fit (estimation) = 85.31 %", part naming the rows; "undefined" in place of a NaN.
    static std::string FitLine(std::string_view part, double percent, char decimalSeparator = '.');
    // Every fit figure of a model as FitLine writes them: with several experiments each one's
    // first, "Fit (estimation, NAME) = F %", then over all rows; the estimation's, the held-out
    // rows' when there are any, then each other experiment's and theirs together (with
    // AroundEstimationMeans when offsets were removed).
    static std::vector<std::string> FitLines(const IdentifiedModel& model,
                                             char decimalSeparator = '.');
    // The text shown for a run that failed with `error`: its message, and for
    // RunError::AllEqual what it means.
    static std::string FailureText(const std::exception& error);

private:
    std::string HeadingText(const TGenetico& engine, const ReportTimestamp& now) const;
    std::string Number(double value, int digits) const;
    std::string Localised(const std::string& modelText) const;

    ReportSeparators separators;
    std::string path;
    std::unique_ptr<ReplacementFile> file;
};

} // namespace orvanel
