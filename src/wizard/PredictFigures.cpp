#include "wizard/PredictFigures.h"

#include "common/NumberText.h"
#include "wizard/Messages.h"

#include <cmath>

namespace nirvex {

TFileFigures::TFileFigures(std::string field, std::vector<std::string> classes)
    : Field(std::move(field)), Classes(std::move(classes)), Matrix((Classes.size() + 1) * Classes.size()) {}

void TFileFigures::AddNumber(double computed, double actual) {
    Errors.Add(computed - actual);
    ++Records;
}

void TFileFigures::AddClass(int32_t actual, int32_t answered) {
    const std::size_t row = actual < 0 ? Classes.size() : static_cast<std::size_t>(actual);
    ++Matrix[row * Classes.size() + static_cast<std::size_t>(answered)];
    ++Records;
}

void TFileFigures::Add(const TFileFigures& part) {
    Records += part.Records;
    Errors.Add(part.Errors);
    for (std::size_t k = 0; k < Matrix.size() && k < part.Matrix.size(); ++k)
        Matrix[k] += part.Matrix[k];
}

double TFileFigures::Rmse() const {
    return Errors.Count > 0 ? Errors.Rmse() : 0.0;
}

double TFileFigures::MeanAbsError() const {
    return Errors.Count > 0 ? Errors.Mae() : 0.0;
}

int64_t TFileFigures::Right() const {
    int64_t n = 0;
    for (std::size_t c = 0; c < Classes.size(); ++c)
        n += Matrix[c * Classes.size() + c];
    return n;
}

int64_t TFileFigures::Unseen() const {
    int64_t n = 0;
    for (std::size_t c = 0; c < Classes.size(); ++c)
        n += Matrix[Classes.size() * Classes.size() + c];
    return n;
}

std::vector<std::vector<std::string>> ConfusionRows(const std::vector<std::string>& classes,
                                                    const std::vector<int64_t>& counts, std::size_t rows,
                                                    const std::string& extraRow) {
    std::vector<std::vector<std::string>> out = {{kConfusionCorner}};
    out[0].insert(out[0].end(), classes.begin(), classes.end());
    for (std::size_t a = 0; a < rows; ++a) {
        out.push_back({a < classes.size() ? classes[a] : extraRow});
        for (std::size_t p = 0; p < classes.size(); ++p)
            out.back().push_back(std::to_string(counts[a * classes.size() + p]));
    }
    return out;
}

namespace {

std::string Html(const std::string& text) {
    std::string out;
    for (char c : text)
        out += c == '<' ? "&lt;" : c == '>' ? "&gt;" : c == '&' ? "&amp;" : std::string(1, c);
    return out;
}

} // namespace

std::string FormatFileFigures(const std::vector<TFileFigures>& figures, int64_t records, bool html) {
    std::string out;
    auto line = [&](const std::string& text) { out += html ? "<p>" + Html(text) + "</p>" : text + "\n"; };
    for (const TFileFigures& f : figures) {
        if (f.Classes.empty()) {
            line(f.Field + kErrorRmse + FormatGeneral(f.Rmse(), 5) + kErrorMae + FormatGeneral(f.MeanAbsError(), 5) +
                 kErrorRecords + std::to_string(f.Records) + kOutOf + std::to_string(records) + ")");
            continue;
        }
        const double share = f.Records > 0 ? static_cast<double>(f.Right()) / static_cast<double>(f.Records) : 0;
        line(kFileAccuracyHead + f.Field + ": " + FormatGeneral(share * 100, 3) + "% (" + std::to_string(f.Right()) +
             kOutOf + std::to_string(f.Records) + ")");
        const std::size_t rows = f.Classes.size() + (f.Unseen() > 0 ? 1 : 0);
        const auto cells = ConfusionRows(f.Classes, f.Matrix, rows, kUnseenRow);
        if (html)
            out += "<table cellspacing=\"0\" cellpadding=\"2\">";
        for (const std::vector<std::string>& row : cells) {
            out += html ? "<tr>" : "";
            for (std::size_t k = 0; k < row.size(); ++k)
                out += html ? std::string(k > 0 ? "<td align=\"right\">" : "<td>") + Html(row[k]) + "</td>"
                            : row[k] + (k + 1 < row.size() ? "\t" : "\n");
            out += html ? "</tr>" : "";
        }
        if (html)
            out += "</table>";
        if (f.Unseen() > 0)
            line(kUnseenNote + std::to_string(f.Unseen()));
    }
    return out;
}

} // namespace nirvex
