// Delimited files of every common form read into the same samples, with names and a sample time.
#include "document/formats/DataImport.h"

#include "document/formats/DelimitedTable.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>
#include <matio.h>
#include <sys/stat.h>

namespace orvanel {
namespace {

// The samples of a run, row by row.
std::vector<std::vector<double>> RowsOf(const TableSamples& samples) {
    std::vector<std::vector<double>> rows;
    for (int r = 0; r < samples.Samples(); ++r)
        rows.emplace_back(samples.Row(r).begin(), samples.Row(r).end());
    return rows;
}

std::string ImportError(const std::string& text, const ImportChoice& choice = {}) {
    try {
        DataImport::FromDelimited(text, choice);
    } catch (const orvanel::ImportError& error) {
        return error.what();
    }
    return "no error";
}

const std::vector<std::vector<double>> Expected = {{1.5, -2, 10}, {2.25, 3, 11.5}, {0, 1e3, 12}};

TEST(DataImportTest, EveryDelimiterAndDecimalFormGivesTheSameSamples) {
    const struct {
        const char* Name;
        std::string Text;
    } forms[] = {
        {"comma, header, time", "time,valve,feed,temp\n0,1.5,-2,10\n1,2.25,3,11.5\n2,0,1E3,12\n"},
        {"semicolon, decimal comma, BOM, CR LF",
         "\xEF\xBB\xBFt;valve;feed;temp\r\n0;1,5;-2;10\r\n1;2,25;3;11,5\r\n2;0;1E3;12\r\n"},
        {"tab, header, CR only",
         "Time\tvalve\tfeed\ttemp\r0\t1.5\t-2\t10\r1\t2.25\t3\t11.5\r2\t0\t1E3\t12"},
        {"spaces, quoted names",
         "\"time\"  \"valve\" \"feed\"   temp\n 0 1.5 -2 10\n1 2.25  3 11.5\n2 0 1E3 12\n\n"},
        {"quoted cells with a delimiter inside",
         "time;\"valve; %\";\"feed "
         "\"\"A\"\"\";temp\n0;\"1,5\";-2;10\n1;2,25;\"3\";11,5\n2;0;1E3;12\n"},
        {"ISO times, no header name for it", "timestamp,valve,feed,temp\n2024-03-01T12:00:00Z,1.5,-"
                                             "2,10\n2024-03-01 12:00:01,1.5e0,-2,10\n"
                                             "2024-03-01T13:00:02+01:00,0,1E3,12\n"},
    };
    for (const auto& form : forms) {
        SCOPED_TRACE(form.Name);
        const ImportedData data = DataImport::FromDelimited(form.Text, {});
        if (std::string(form.Name).starts_with("ISO")) {
            EXPECT_EQ(data.SampleTime, 1.0);
            continue;
        }
        EXPECT_EQ(RowsOf(data.Samples), Expected);
        EXPECT_EQ(data.SampleTime, 1.0);
        EXPECT_EQ(data.InputNames.size(), 2u);
        EXPECT_EQ(data.OutputName, "temp");
    }
    const ImportedData quoted = DataImport::FromDelimited(forms[4].Text, {});
    EXPECT_EQ(quoted.InputNames, (std::vector<std::string>{"valve; %", "feed \"A\""}));
}

TEST(DataImportTest, RolesFollowTheNamesNumbersAndTheEvenFirstColumn) {
    const std::string text = "0.5,1,2,3\n1.0,4,5,6\n1.5,7,8,9\n";
    ImportedData data = DataImport::FromDelimited(text, {});
    EXPECT_EQ(data.SampleTime, 0.5);
    EXPECT_EQ(data.InputNames, (std::vector<std::string>{"Column 2", "Column 3"}));
    EXPECT_EQ(RowsOf(data.Samples).front(), (std::vector<double>{1, 2, 3}));

    ImportChoice choice;
    choice.Time = "none";
    choice.Output = "2";
    choice.Inputs = {"Column 4", "1"};
    data = DataImport::FromDelimited(text, choice);
    EXPECT_EQ(data.SampleTime, std::nullopt);
    EXPECT_EQ(RowsOf(data.Samples).back(), (std::vector<double>{9, 1.5, 7}));

    // A first column that does not rise evenly is an input.
    data = DataImport::FromDelimited("1,1,2\n3,4,5\n4,7,8\n", {});
    EXPECT_EQ(data.Samples.Inputs(), 2);
    EXPECT_EQ(data.SampleTime, std::nullopt);
}

TEST(DataImportTest, MessagesNameTheLineAndTheColumn) {
    const std::string header = "time,valve,temp\n";
    EXPECT_EQ(ImportError(header + "0,1,2\n1,n/a,3\n2,5,6\n"),
              "Line 3, column \"valve\": \"n/a\" is not a number");
    EXPECT_EQ(ImportError(header + "0,1,2\n1,3,4\n2.5,5,6\n3.5,7,8\n"),
              "The time column \"time\" does not rise evenly: line 4 comes 1.5 after line 3, "
              "where the step is 1");
    EXPECT_EQ(ImportError(header + "0,1,2\n1,3\n"), "Line 3 has 2 cells where line 1 has 3");
    EXPECT_EQ(ImportError(header + "0,1,2\nnoon,3,4\n"),
              "The time column \"time\" holds a cell that is neither a number nor a date and time "
              "(ISO 8601), line 3: \"noon\"");
    EXPECT_EQ(ImportError(header + "0,\"1,2\n"), "Line 2 has a quote that is not closed");
    ImportChoice choice;
    choice.Output = "flow";
    EXPECT_EQ(ImportError(header + "0,1,2\n", choice),
              "The output column \"flow\" is not in the file; its columns are time, valve, temp");
    choice.Output = "y";
    EXPECT_EQ(ImportError("time,y,u2,y\n0,1,2,3\n", choice),
              "The output column \"y\" is ambiguous: columns 2 and 4 bear that name; choose one "
              "by its number");
    EXPECT_EQ(ImportError("t,u,time,y,timestamp\n0,1,2,3,4\n"),
              "The time column is ambiguous: columns 1, 3 and 5 bear a time's name; choose one by "
              "its number");

    choice = {};
    choice.FillMissing = true;
    const ImportedData data =
        DataImport::FromDelimited(header + "0,1,2\n1,,3\n2,x,4\n3,7,5\n", choice);
    EXPECT_EQ(data.FilledCells, 2);
    EXPECT_EQ(RowsOf(data.Samples)[1], (std::vector<double>{3, 3}));
    EXPECT_EQ(RowsOf(data.Samples)[2], (std::vector<double>{5, 4}));
    EXPECT_EQ(ImportError(header + "0,,2\n1,1,3\n", choice),
              "Line 2, column \"valve\" is empty, and it has no number on both sides "
              "to fill it from");
}

class DataImportFileTest : public TempFolder {};

// The program's own files load as documents do; anything else falls to the delimited reader.
TEST_F(DataImportFileTest, NativeFilesStayNativeAndOthersAreDetected) {
    WriteFile("native.txt", "1.5\t-2\t10\r\n2.25\t3\t11.5\r\n0\t1E3\t12\r\n");
    ImportedData data = DataImport::Read(PathOf("native.txt"));
    EXPECT_FALSE(data.Delimited);
    EXPECT_EQ(RowsOf(data.Samples), Expected);

    WriteFile("named.txt", "valve\tfeed\ttemp\r\n1.5\t-2\t10\r\n2.25\t3\t11.5\r\n0\t1E3\t12\r\n");
    data = DataImport::Read(PathOf("named.txt"));
    EXPECT_TRUE(data.Delimited);
    EXPECT_EQ(RowsOf(data.Samples), Expected);

    WriteFile("bad.txt", "1\t2\t3\r\n4\tx\t6\r\n");
    EXPECT_THROW(DataImport::Read(PathOf("bad.txt")), BadCellError);
}

// MATLAB files written here by the library that reads them, in both versions.
void WriteMat(const std::string& path, mat_ft version,
              const std::vector<std::pair<std::string, std::vector<double>>>& variables,
              std::size_t rows, bool withStructure = false) {
    mat_t* file = Mat_CreateVer(path.c_str(), nullptr, version);
    ASSERT_NE(file, nullptr);
    for (auto [name, values] : variables) {
        std::size_t dims[2] = {rows, values.size() / rows};
        matvar_t* variable =
            Mat_VarCreate(name.c_str(), MAT_C_DOUBLE, MAT_T_DOUBLE, 2, dims, values.data(), 0);
        Mat_VarWrite(file, variable, MAT_COMPRESSION_NONE);
        Mat_VarFree(variable);
    }
    if (withStructure) {
        std::size_t dims[2] = {1, 1};
        const char* fields[] = {"a"};
        matvar_t* structure = Mat_VarCreateStruct("settings", 2, dims, fields, 1);
        Mat_VarWrite(file, structure, MAT_COMPRESSION_NONE);
        Mat_VarFree(structure);
    }
    Mat_Close(file);
}

TEST_F(DataImportFileTest, MatlabFilesGiveTheirMatrixOrTheirVectors) {
    for (const mat_ft version : {MAT_FT_MAT5, MAT_FT_MAT73}) {
        // Column-major: the columns 1.5 2.25 0 | -2 3 1000 | 10 11.5 12.
        WriteMat(PathOf("matrix.mat"), version,
                 {{"data", {1.5, 2.25, 0, -2, 3, 1e3, 10, 11.5, 12}}}, 3);
        ImportedData data = DataImport::Read(PathOf("matrix.mat"));
        EXPECT_EQ(RowsOf(data.Samples), Expected);
        EXPECT_EQ(data.InputNames, (std::vector<std::string>{"data(:,1)", "data(:,2)"}));

        WriteMat(PathOf("vectors.mat"), version,
                 {{"temp", {10, 11.5, 12}}, {"valve", {1.5, 2.25, 0}}, {"feed", {-2, 3, 1e3}}}, 3);
        // Version 7.3 lists its variables by name, not in the order written.
        ImportChoice choice;
        choice.Output = "temp";
        choice.Inputs = {"valve", "feed"};
        data = DataImport::Read(PathOf("vectors.mat"), choice);
        EXPECT_EQ(RowsOf(data.Samples), Expected);
        EXPECT_EQ(data.InputNames, (std::vector<std::string>{"valve", "feed"}));
    }
    WriteMat(PathOf("settings.mat"), MAT_FT_MAT5, {}, 1, true);
    try {
        DataImport::Read(PathOf("settings.mat"));
        ADD_FAILURE();
    } catch (const orvanel::ImportError& error) {
        EXPECT_EQ(std::string(error.what()),
                  PathOf("settings.mat") +
                      " holds no numeric matrix or vectors to read: settings is a structure");
    }
}

// Times since 1970 hold a 10 ms step only to a few parts in 10^5: the rounding is no unevenness.
TEST(DataImportTest, StepsOfTimesSince1970AreEven) {
    for (const int milliseconds : {100, 10}) {
        std::string seconds = "time,u,y\n";
        std::string iso = seconds;
        for (int r = 0; r < 200; ++r) {
            const int thousandths = r * milliseconds;
            char fraction[8];
            std::snprintf(fraction, sizeof fraction, ".%03d", thousandths % 1000);
            seconds += std::to_string(1765000000 + thousandths / 1000) + fraction + ",1,2\n";
            iso += "2025-12-06T05:46:" + std::to_string(40 + thousandths / 1000) + fraction +
                   "+01:00,1,2\n";
        }
        for (const std::string& text : {seconds, iso}) {
            const ImportedData data = DataImport::FromDelimited(text, {});
            ASSERT_TRUE(data.SampleTime) << text.substr(0, 60);
            EXPECT_NEAR(*data.SampleTime, milliseconds / 1000.0, 1e-8);
        }
    }
    EXPECT_EQ(DelimitedTable::IsoSeconds("1970-01-01T14:00:00+14:00"), 0.0);
    EXPECT_EQ(DelimitedTable::IsoSeconds("1970-01-01T00:00:00-1200"), 43200.0);
    for (const char* offset : {"+9999", "+14:01", "-15:00", "+09:60"})
        EXPECT_EQ(DelimitedTable::IsoSeconds(std::string("1970-01-02T00:00:00") + offset),
                  std::nullopt)
            << offset;
}

std::string MatRefusal(const std::string& path) {
    try {
        DataImport::Read(path);
    } catch (const orvanel::ImportError& error) {
        return error.what();
    }
    return "no error";
}

void WriteFlagged(const std::string& path, const char* name, matio_classes type, int flags,
                  void* values) {
    mat_t* file = Mat_CreateVer(path.c_str(), nullptr, MAT_FT_MAT5);
    std::size_t dims[2] = {3, 1};
    matvar_t* variable = Mat_VarCreate(name, type, type == MAT_C_UINT8 ? MAT_T_UINT8 : MAT_T_DOUBLE,
                                       2, dims, values, flags);
    Mat_VarWrite(file, variable, MAT_COMPRESSION_NONE);
    Mat_VarFree(variable);
    std::vector<double> output = {10, 11.5, 12};
    variable = Mat_VarCreate("y", MAT_C_DOUBLE, MAT_T_DOUBLE, 2, dims, output.data(), 0);
    Mat_VarWrite(file, variable, MAT_COMPRESSION_NONE);
    Mat_VarFree(variable);
    Mat_Close(file);
}

// A damaged file is refused before the library reads past its end or allocates what a broken
// size field asks for; variables the signals cannot be made of are named, never dropped.
TEST_F(DataImportFileTest, MatlabFilesThatCannotBeReadWhole) {
    const std::string path = PathOf("signals.mat");
    WriteMat(path, MAT_FT_MAT5, {{"data", {1.5, 2.25, 0, -2, 3, 1e3, 10, 11.5, 12}}}, 3);
    const std::string whole = ReadFile("signals.mat");
    WriteFile("signals.mat", whole.substr(0, whole.size() - 8));
    EXPECT_EQ(MatRefusal(path),
              path +
                  " is cut short: its variable 1 declares 120 bytes, and 112 are left in the file");
    std::string flipped = whole;
    flipped[160 + 3] = 0x10;
    WriteFile("signals.mat", flipped);
    EXPECT_EQ(MatRefusal(path), path + " is damaged: its variable data declares 268435459 x 3 "
                                       "values, more than the file can hold");

    std::string manyDimensions = whole;
    manyDimensions[152 + 4 + 3] = 0x7f;
    WriteFile("signals.mat", manyDimensions);
    EXPECT_EQ(MatRefusal(path), path + " is damaged: its variable 1 declares parts larger than "
                                       "itself");
    WriteMat(path, MAT_FT_MAT4, {{"data", {1.5, 2.25, 0, -2, 3, 1e3}}}, 3);
    WriteFile("signals.mat", ReadFile("signals.mat").substr(0, 40));
    EXPECT_EQ(MatRefusal(path), path + " is damaged or cut short: its variable 1 declares more "
                                       "than the file holds");

    WriteMat(PathOf("signals73.mat"), MAT_FT_MAT73, {{"data", {1.5, 2.25, 0, -2, 3, 1e3}}}, 3);
    const std::string hdf5 = ReadFile("signals73.mat");
    WriteFile("signals73.mat", hdf5.substr(0, 3000));
    EXPECT_EQ(MatRefusal(PathOf("signals73.mat")),
              PathOf("signals73.mat") + " is cut short: it declares " +
                  std::to_string(hdf5.size()) + " bytes, and 3000 are in the file");

    WriteMat(path, MAT_FT_MAT5, {{"data", {1.5, 2.25, 0, -2, 3, 1e3}}, {"t", {0, 1, 2}}}, 3);
    EXPECT_EQ(MatRefusal(path), path + " holds the matrix data and the vectors t: save the "
                                       "signals as one matrix, or as one vector each");

    double real[3] = {1, 2, 3};
    double imaginary[3] = {0, 1, 0};
    mat_complex_split_t parts = {real, imaginary};
    WriteFlagged(path, "z", MAT_C_DOUBLE, MAT_F_COMPLEX, &parts);
    EXPECT_EQ(MatRefusal(path), path + " holds z, which is complex: only real signals can be read");

    std::uint8_t on[3] = {1, 0, 1};
    WriteFlagged(path, "on", MAT_C_UINT8, MAT_F_LOGICAL, on);
    const ImportedData data = DataImport::Read(path);
    EXPECT_EQ(RowsOf(data.Samples),
              (std::vector<std::vector<double>>{{1, 10}, {0, 11.5}, {1, 12}}));

    ASSERT_EQ(mkfifo(PathOf("pipe.mat").c_str(), 0600), 0);
    EXPECT_EQ(MatRefusal(PathOf("pipe.mat")), PathOf("pipe.mat") + " is not a regular file");
}

TEST(DelimitedFormatTest, DetectionOfTheLayout) {
    DelimitedFormat format = DelimitedFormat::Detect("a;b\n1,5;2\n");
    EXPECT_EQ(format.Separator, DelimitedFormat::Delimiter::Semicolon);
    EXPECT_EQ(format.Decimal, ',');
    EXPECT_TRUE(format.Header);
    format = DelimitedFormat::Detect("1,5\n2,5\n");
    EXPECT_EQ(format.Separator, DelimitedFormat::Delimiter::Comma);
    EXPECT_EQ(format.Decimal, '.');
    EXPECT_FALSE(format.Header);
    EXPECT_TRUE(DelimitedFormat::Detect("1\t2\r\n3\t4\r\n").IsNative());
    EXPECT_EQ(DelimitedTable::IsoSeconds("1970-01-02T00:00:01.5"), 86401.5);
    EXPECT_EQ(DelimitedTable::IsoSeconds("2024-02-30"), std::nullopt);
}

} // namespace
} // namespace orvanel
