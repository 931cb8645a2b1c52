// polyview-tool check's model part: follows the viewer's own load line by
// line and reports where what it stores differs from what the file means.
#include "check_model.h"

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "file/regular_file.h"
#include "line_intent.h"
#include "model/model.h"
#include "model/model_format.h"
#include "model/scan.h"
#include "model/scan_vertex.h"
#include "view_coverage.h"

void CheckReport::Print(const char* kind, const std::string& file, int64_t line, const std::string& text) {
    if (line > 0)
        std::fprintf(out, "%s:%lld: %s: %s\n", file.c_str(), (long long)line, kind, text.c_str());
    else
        std::fprintf(out, "%s: %s: %s\n", file.c_str(), kind, text.c_str());
}

void CheckReport::Warning(const std::string& file, int64_t line, const std::string& text) {
    ++warnings;
    Print("warning", file, line, text);
}

void CheckReport::Error(const std::string& file, int64_t line, const std::string& text) {
    ++errors;
    Print("error", file, line, text);
}

void CheckReport::Note(const std::string& file, int64_t line, const std::string& text) {
    Print("note", file, line, text);
}

namespace {

const char* const FieldNames[5] = {"x", "y", "z", "u", "v"};

std::string FormatFloat(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", value);
    return text;
}

class ModelChecker {
public:
    ModelChecker(const std::string& name, CheckReport* report) : name_(name), report_(report) {}

    ModelCheckResult Run(const char* path);

private:
    bool CheckEncoding(const char* path);
    static void Observe(const ModelLineReport& report, void* checker);
    void TakeHeader(const ModelLineReport& report);
    void TakeVertex(const ModelLineReport& report);
    void TakeUnread(const ModelLineReport& report);
    const char* LineEnd() const;
    void CheckNulBytes();
    void CheckHeader(bool isCount, int scanResult, int32_t value);
    void CheckVertexLine(bool textured, int full, int scanned, bool isFastScan, const float* hold);
    void ExplainVertexMismatch(const VertexIntent& intent, bool textured, int full, int scanned,
                               const float* hold);
    std::string KeptFields(int from, int full) const;
    void AddVertex(const float* hold, int64_t line, int64_t times);
    void CountClippedVertices(const float* position, int64_t line, int64_t times);
    void ReportGeometry(int64_t triangles);
    void ReportUnreadLines();

    std::string name_;
    CheckReport* report_;

    // The line the load reported last.
    const char* lineText_ = nullptr;
    size_t lineLength_ = 0;
    int64_t lineNo_ = 0;

    // The header as the load read it.
    int32_t count_ = 0, mode_ = 0;
    bool isCountRead_ = false;  // the file had a data line for the count
    bool countMatched_ = false;
    int64_t countLine_ = 0;

    int64_t needed_ = 0;           // vertex lines the count asks for
    int64_t verticesSeen_ = 0;     // vertices given so far
    bool isEndReported_ = false;   // the file ended before the last vertex
    int64_t unread_ = 0, firstUnreadLine_ = 0;

    int64_t supplied_[5] = {0, 0, 0, 0, 0};  // line that last gave each field

    // Geometry of the vertices as stored.
    int64_t nearLine_ = 0, farLine_ = 0;  // the first vertex beyond the near or far plane
    int64_t firstVertexLine_ = 0;
    ViewCoverage coverage_;
    float triangle_[3][3] = {};  // the triangle being gathered
    int64_t triangleLine_ = 0;   // the line of its first vertex
    int64_t vertexLines_[3] = {};  // the line of each of its vertices
    int vertexInTriangle_ = 0;
    int64_t firstWithoutAreaLine_ = 0;
};

const char* ModelChecker::LineEnd() const {
    const void* nul = std::memchr(lineText_, '\0', lineLength_);
    return nul ? static_cast<const char*>(nul) : lineText_ + lineLength_;
}

void ModelChecker::CheckNulBytes() {
    const void* nul = std::memchr(lineText_, '\0', lineLength_);
    if (!nul) return;
    size_t column = size_t(static_cast<const char*>(nul) - lineText_) + 1;
    report_->Warning(name_, lineNo_,
                     "NUL byte in column " + std::to_string(column) + ": the rest of the line is not read");
}

// One header line as the loader scanned it: `scanResult` is the scan's
// result, `value` the count or mode after it.
void ModelChecker::CheckHeader(bool isCount, int scanResult, int32_t value) {
    const char* keyword = isCount ? CountKeyword : ModeKeyword;
    const char* other = isCount ? ModeKeyword : CountKeyword;
    const char* what = isCount ? "count line" : "texture mode line";
    const char* effect = isCount ? "the count reads as 0 and nothing is drawn"
                                 : "the mode stays 0 (on a reload: the previous mode)";
    int64_t lineNo = lineNo_;
    const char* text = lineText_;
    const char* end = LineEnd();
    CheckNulBytes();
    if (scanResult == 1) {
        const int32_t scanned = value;
        // The number ended where the scan stopped; anything after it is lost.
        const char* p = SkipSpace(text + std::strlen(keyword), end) + 2;
        p = SkipSpace(p, end);
        if (p < end && (*p == '+' || *p == '-')) ++p;
        while (p < end && IsDigit(*p)) ++p;
        const char* rest = p;
        p = SkipSpace(p, end);
        if (p < end && *p != '#') {
            if (p == rest && (*p == '.' || *p == ',' || IsLetter(*p)))
                report_->Warning(name_, lineNo,
                                 std::string(what) + ": the number is read as " + std::to_string(scanned) +
                                     ", " + Quote(p, end) + " after it is ignored");
            else
                report_->Warning(name_, lineNo,
                                 std::string(what) + ": " + Quote(p, end) + " after the number is ignored");
        }
        return;
    }

    std::string why;
    const char* p = text;
    if (p < end && IsScanSpace((unsigned char)*p)) {
        p = SkipSpace(p, end);
        if (p < end && *p == '#') {
            report_->Error(name_, lineNo,
                           "a blank before '#' makes this a data line, not a comment; it stands where the " +
                               std::string(what) + " belongs, so " + effect);
            return;
        }
        why = "a blank before the keyword";
    }
    if (p == end) {
        report_->Error(
            name_, lineNo,
            (text == end ? std::string("an empty data line where the ")
                         : std::string("a line of blanks only is a data line; it stands where the ")) +
                what + " belongs, so " + effect);
        return;
    }
    const char* w = p;
    while (p < end && IsLetter(*p)) ++p;
    std::string word(w, p);
    if (word == keyword) {
        // Keyword fine; the rest decides.
    } else if (EqualsIgnoringCase(word, keyword)) {
        why += std::string(why.empty() ? "" : "; ") + "the keyword in other letter case (" + Quote(word) +
               " for '" + keyword + "')";
    } else {
        std::string found;
        if (EqualsIgnoringCase(word, other))
            found = isCount ? "the texture mode line stands where the count line belongs (the header lines "
                              "cannot be swapped)"
                            : "a second count line stands where the texture mode line belongs";
        else if (EqualsIgnoringCase(word, VertexKeyword))
            found = std::string("a vertex line stands where the ") + what + " belongs";
        else
            found = std::string("expected '") + keyword + " >> N', found " + Quote(w, end);
        report_->Error(name_, lineNo, std::string(what) + " does not match: " + found + "; " + effect);
        return;
    }
    p = SkipSpace(p, end);
    if (!StartsWith(p, end, ">>")) {
        why += std::string(why.empty() ? "" : "; ") +
               (p < end && *p == '>' ? "'>' instead of '>>'" : "'>>' missing");
    } else {
        p = SkipSpace(p + 2, end);
        const char* digits = p < end && (*p == '+' || *p == '-') ? p + 1 : p;
        if (digits >= end || !IsDigit(*digits)) {
            if (why.empty()) why = p < end ? "no number, but " + Quote(p, end) : "no number";
        } else {
            const char* q = digits;
            while (q < end && IsDigit(*q)) ++q;
            // A fragment of a number of any length.
            std::string number(p, q - p > 40 ? p + 40 : q);
            if (q - p > 40) number += "...";
            if (why.empty()) why = "the number " + number + " is out of range for a 32-bit integer";
        }
    }
    if (why.empty()) why = "unexpected text";
    report_->Error(name_, lineNo, std::string(what) + " does not match: " + why + "; " + effect);
}

// "y, z kept from line 7, u from line 5" / "u never given (0)"; fields
// `from` to `full - 1`.
std::string ModelChecker::KeptFields(int from, int full) const {
    std::string text;
    int f = from < 0 ? 0 : from;
    while (f < full) {
        int64_t line = supplied_[f];
        std::string names = FieldNames[f];
        int g = f + 1;
        for (; g < full && supplied_[g] == line; ++g) names += std::string(", ") + FieldNames[g];
        bool isFirst = text.empty();
        if (!isFirst) text += ", ";
        text += names + (line ? (isFirst ? " kept from line " : " from line ") + std::to_string(line)
                              : std::string(" never given (0)"));
        f = g;
    }
    return text;
}

// Why a vertex line gave fewer fields than its form has (`scanned` of `full`).
void ModelChecker::ExplainVertexMismatch(const VertexIntent& intent, bool textured, int full, int scanned,
                                         const float* hold) {
    int64_t lineNo = lineNo_;
    const char* form = textured ? "'Vertex x y z >> TKoord u v'" : "'Vertex x y z'";
    int n = scanned < 0 ? 0 : scanned;
    std::string kept = KeptFields(n, full);
    std::string effect;
    if (n == 0) {
        bool sameLine = true;
        for (int f = 1; f < full; ++f) sameLine = sameLine && supplied_[f] == supplied_[0];
        effect = sameLine && supplied_[0] ? "the vertex repeats line " + std::to_string(supplied_[0])
                                          : "nothing is read: " + kept;
    } else {
        effect = kept;
    }

    std::string why;
    if (intent.commentLike) {
        why = "a blank before '#' makes this a data line, not a comment";
    } else if (intent.blankOnly) {
        why = "a line of blanks only is a data line";
    } else if (!EqualsIgnoringCase(intent.keyword, VertexKeyword)) {
        if (EqualsIgnoringCase(intent.keyword, CountKeyword) ||
            EqualsIgnoringCase(intent.keyword, ModeKeyword))
            why = "a header line among the vertex lines";
        else
            why = "not a vertex line: " +
                  Quote(intent.trailing.data(), intent.trailing.data() + intent.trailing.size());
        if (intent.blankBefore) why = "a blank first, then " + why;
    } else if (n == 0 && (intent.blankBefore || intent.keyword != VertexKeyword)) {
        if (intent.blankBefore) why = "a blank before 'Vertex'";
        if (intent.keyword != VertexKeyword)
            why += std::string(why.empty() ? "" : "; ") + Quote(intent.keyword) +
                   " in other letter case than 'Vertex'";
    } else {
        // The keyword matched; find the field where the scan stopped.
        auto tokenAt = [&](int field) -> const Token* {
            if (field < 3) return size_t(field) < intent.numbers.size() ? &intent.numbers[field] : nullptr;
            size_t i = size_t(field - 3);
            return i < intent.texNumbers.size() ? &intent.texNumbers[i] : nullptr;
        };
        const Token* previous = n > 0 ? tokenAt(n - 1) : nullptr;
        if (previous && previous->kind == TokenKind::DecimalComma) {
            why = "decimal comma in " + std::string(FieldNames[n - 1]) + " (" + Quote(previous->text) +
                  " reads as " + FormatFloat(hold[n - 1]) + ")";
        } else if (previous && previous->kind == TokenKind::Malformed) {
            why = std::string(FieldNames[n - 1]) + " " + Quote(previous->text) +
                  " is not a plain number: it reads as " + FormatFloat(hold[n - 1]) +
                  " and the scan stops there";
        } else if (n < 3) {
            const Token* token = tokenAt(n);
            if (!token)
                why = intent.numbers.size() < 3 && !intent.arrow.empty()
                          ? "only " + std::to_string(intent.numbers.size()) + " coordinates before '>>'"
                          : "only " + std::to_string(n) + " of the 3 coordinates";
            else
                why = std::string(FieldNames[n]) + " " + Quote(token->text) + " is not a number";
        } else if (n == 3 && intent.arrow.empty() && intent.texWord.empty() && intent.numbers.size() == 3) {
            why = "the form without texture coordinates in mode 1";
        } else if (n == 3 && intent.numbers.size() > 3) {
            why = "a fourth number " + Quote(intent.numbers[3].text) + " before '>>'";
        } else if (n == 3 && intent.arrow != ">>") {
            why = intent.arrow.empty() ? "'>>' missing" : Quote(intent.arrow) + " instead of '>>'";
        } else if (n == 3 && intent.texWord != TexCoordKeyword) {
            why = intent.texWord.empty() ? "'TKoord' missing"
                  : EqualsIgnoringCase(intent.texWord, "tkoord")
                      ? Quote(intent.texWord) + " in other letter case than 'TKoord'"
                      : Quote(intent.texWord) + " instead of 'TKoord'";
        } else {
            const Token* token = tokenAt(n);
            why = token ? std::string(FieldNames[n]) + " " + Quote(token->text) + " is not a number"
                        : "only " + std::to_string(n - 3) + " of the 2 texture coordinates";
        }
    }
    if (n == 0)
        report_->Error(name_, lineNo, "vertex line matches nothing: " + why + "; " + effect);
    else
        report_->Error(name_, lineNo,
                       std::string("vertex line matches ") + form + " only in part: " + why + "; " + effect);
}

// A vertex line: scanned as the loader scans it into the holding values,
// then compared with what it seems to mean.
void ModelChecker::CheckVertexLine(bool textured, int full, int scanned, bool isFastScan, const float* hold) {
    int64_t lineNo = lineNo_;
    for (int f = 0; f < scanned; ++f) supplied_[f] = lineNo;
    if (isFastScan && IsTakenLineSpaced(lineText_, lineLength_, textured)) return;
    const char* end = LineEnd();
    if (scanned == full && end == lineText_ + lineLength_ && IsPlainVertexLine(lineText_, end, textured))
        return;

    CheckNulBytes();
    VertexIntent intent = ReadVertexIntent(lineText_, end);
    if (scanned < full) {
        ExplainVertexMismatch(intent, textured, full, scanned, hold);
        return;
    }
    // Every field was read; what did the rest of the line hold?
    std::vector<Token> tokens = intent.numbers;
    tokens.insert(tokens.end(), intent.texNumbers.begin(), intent.texNumbers.end());
    for (int f = 0; f < full && size_t(f) < tokens.size(); ++f) {
        const Token& token = tokens[size_t(f)];
        if (token.kind == TokenKind::DecimalComma)
            report_->Error(name_, lineNo,
                           std::string("decimal comma in ") + FieldNames[f] + " (" + Quote(token.text) +
                               " reads as " + FormatFloat(hold[f]) + ")");
        else if (token.kind != TokenKind::Plain)
            report_->Warning(name_, lineNo,
                             std::string(FieldNames[f]) + " " + Quote(token.text) +
                                 " is not a plain number: it reads as " + FormatFloat(hold[f]));
    }
    if (!textured && (!intent.arrow.empty() || !intent.texWord.empty())) {
        report_->Warning(name_, lineNo, "texture coordinates are ignored in mode 0");
    } else if (tokens.size() > size_t(full)) {
        report_->Warning(name_, lineNo,
                         Quote(tokens[size_t(full)].text) + " after " + FieldNames[full - 1] + " is ignored");
    } else if (!intent.trailing.empty() && intent.trailing[0] != '#') {
        const char* t = intent.trailing.data();
        report_->Warning(name_, lineNo,
                         Quote(t, t + intent.trailing.size()) + " after the last field is ignored");
    }
}

void ModelChecker::CountClippedVertices(const float* position, int64_t line, int64_t times) {
    const unsigned codes = coverage_.AddVertices(position, times);
    if ((codes & NearPlaneCode) && !nearLine_) nearLine_ = line;
    if ((codes & FarPlaneCode) && !farLine_) farLine_ = line;
}

// Vertices count once their triangle is whole: the load keeps no other.
void ModelChecker::AddVertex(const float* hold, int64_t line, int64_t times) {
    while (times > 0) {
        if (vertexInTriangle_ == 0 && times >= 3) {
            // Whole triangles of one repeated vertex settle at once.
            if (!firstWithoutAreaLine_) firstWithoutAreaLine_ = line;
            CountClippedVertices(hold, line, times / 3 * 3);
            coverage_.AddPointTriangles(hold, times / 3);
            times %= 3;
            continue;
        }
        if (vertexInTriangle_ == 0) triangleLine_ = line;
        for (int a = 0; a < 3; ++a) triangle_[vertexInTriangle_][a] = hold[a];
        vertexLines_[vertexInTriangle_] = line;
        --times;
        if (++vertexInTriangle_ == 3) {
            for (int k = 0; k < 3; ++k) CountClippedVertices(triangle_[k], vertexLines_[k], 1);
            if (!coverage_.AddTriangle(triangle_) && !firstWithoutAreaLine_)
                firstWithoutAreaLine_ = triangleLine_;
            vertexInTriangle_ = 0;
        }
    }
}

void ModelChecker::ReportGeometry(int64_t triangles) {
    if (coverage_.nearVertices) report_->Warning(name_, nearLine_, coverage_.ClipPlaneWarning(NearPlaneCode));
    if (coverage_.farVertices) report_->Warning(name_, farLine_, coverage_.ClipPlaneWarning(FarPlaneCode));
    if (coverage_.withoutArea)
        report_->Warning(name_, firstWithoutAreaLine_,
                         std::to_string(coverage_.withoutArea) +
                             (coverage_.withoutArea == 1 ? " triangle has" : " triangles have") +
                             " no area on screen (degenerate, or seen edge-on), first here: nothing of " +
                             (coverage_.withoutArea == 1 ? "it" : "them") + " is drawn");
    std::string nothing = coverage_.NothingShownWarning();
    if (triangles > 0 && !nothing.empty()) report_->Warning(name_, firstVertexLine_, nothing);
}

void ModelChecker::Observe(const ModelLineReport& report, void* checker) {
    ModelChecker* self = static_cast<ModelChecker*>(checker);
    self->lineText_ = report.text;
    self->lineLength_ = report.length;
    self->lineNo_ = report.lineNumber;
    switch (report.kind) {
        case ModelLineCount:
        case ModelLineMode: self->TakeHeader(report); break;
        case ModelLineVertex: self->TakeVertex(report); break;
        case ModelLineUnread: self->TakeUnread(report); break;
    }
}

void ModelChecker::TakeHeader(const ModelLineReport& report) {
    const bool isCount = report.kind == ModelLineCount;
    if (isCount) {
        isCountRead_ = report.isNew;
        if (!report.isNew) {
            report_->Error(name_, report.linesRead,
                           "no data line: the count line is missing and the model is empty");
            return;
        }
        countLine_ = report.lineNumber;
        countMatched_ = report.scanned == 1;
        count_ = report.value;
        CheckHeader(true, report.scanned, report.value);
        return;
    }

    int64_t modeLine = 0;
    bool modeMatched = false;
    if (!report.isNew) {
        if (isCountRead_)
            report_->Error(name_, report.linesRead,
                           "the file ends before the texture mode line: the mode stays 0 "
                           "(the count line is read again in its place)");
    } else {
        modeLine = report.lineNumber;
        modeMatched = report.scanned == 1;
        CheckHeader(false, report.scanned, report.value);
    }
    mode_ = report.value;

    if (int64_t(count_) > MaxTriangleCount) {
        report_->Error(name_, countLine_,
                       "the count " + std::to_string(count_) + " is above the largest the viewer takes (" +
                           std::to_string(MaxTriangleCount) + "): the model is empty");
        count_ = 0;
    } else if (countMatched_ && count_ <= 0) {
        report_->Warning(name_, countLine_, "count " + std::to_string(count_) + ": nothing is drawn");
    }
    if (modeMatched && mode_ != 0 && mode_ != 1)
        report_->Warning(name_, modeLine,
                         "mode " + std::to_string(mode_) +
                             " is neither 0 nor 1: no vertex line is read and nothing is drawn");
    if ((mode_ == 0 || mode_ == 1) && count_ > 0) needed_ = int64_t(count_) * 3;
}

void ModelChecker::TakeVertex(const ModelLineReport& report) {
    const bool textured = mode_ == 1;
    const int full = textured ? 5 : 3;
    const float* hold = report.hold;
    if (!report.isNew) {
        // End of the file: the load keeps the triangles given whole.
        if (isEndReported_) return;
        isEndReported_ = true;
        const int64_t k = verticesSeen_, whole = k / 3;
        report_->Error(name_, report.linesRead > 0 ? report.linesRead : 0,
                       "the file ends after " + std::to_string(k) + " of " + std::to_string(needed_) +
                           " vertex lines: the model holds the " + std::to_string(whole) + " triangle" +
                           (whole == 1 ? "" : "s") + " given whole, not the " + std::to_string(count_) +
                           " of the count");
        if (!firstVertexLine_) firstVertexLine_ = report.linesRead;
        return;
    }
    if (!firstVertexLine_) firstVertexLine_ = report.lineNumber;
    CheckVertexLine(textured, full, report.scanned, report.isFastScan, hold);
    bool finite = true;
    for (int f = 0; f < report.scanned; ++f) finite = finite && std::isfinite(hold[f]);
    if (!finite) {
        std::string fields;
        for (int f = 0; f < report.scanned; ++f)
            if (!std::isfinite(hold[f]))
                fields += std::string(fields.empty() ? "" : ", ") + FieldNames[f] + " " + FormatFloat(hold[f]);
        report_->Warning(name_, report.lineNumber, "a number that is not finite: " + fields);
    }
    AddVertex(hold, report.lineNumber, report.vertices);
    verticesSeen_ += report.vertices;
}

// Data lines after the last one the load needs are never read.
void ModelChecker::TakeUnread(const ModelLineReport& report) {
    const char* end = LineEnd();
    const char* p = SkipSpace(lineText_, end);
    if (p == end || *p == '#') return;  // blank or commented out: means nothing here
    if (!unread_) firstUnreadLine_ = report.lineNumber;
    ++unread_;
}

void ModelChecker::ReportUnreadLines() {
    if (!unread_) return;
    std::string why;
    if (mode_ != 0 && mode_ != 1)
        why = "mode " + std::to_string(mode_) + " reads no vertex line";
    else
        why = needed_ ? "the count " + std::to_string(count_) + " needs " + std::to_string(needed_) +
                            " vertex line" + (needed_ == 1 ? "" : "s")
                      : "the count " + std::to_string(count_) + " needs no vertex line";
    report_->Warning(name_, firstUnreadLine_,
                     std::to_string(unread_) + " data line" + (unread_ == 1 ? "" : "s") + " from here on " +
                         (unread_ == 1 ? "is" : "are") + " ignored (" + why + ")");
}

// Notes the byte-order mark that the load skips; a UTF-16 file gets one
// error, and its lines, which the load reads as bytes, no findings of their
// own. True for UTF-16.
bool ModelChecker::CheckEncoding(const char* path) {
    RegularFile opened = OpenRegularFile(path);
    if (!opened.file) return false;  // the load says why
    char start[4096];
    size_t size = std::fread(start, 1, sizeof start, opened.file);
    std::fclose(opened.file);
    switch (ClassifyTextStart(start, size)) {
        case TextStart::Plain: return false;
        case TextStart::Utf8Mark:
            report_->Note(name_, 1, "the file begins with a UTF-8 byte-order mark; it is skipped");
            return false;
        case TextStart::Utf16:
            report_->Error(name_, 1,
                           "the file is UTF-16 text, which the viewer does not read: save it as UTF-8 or ANSI");
            return true;
    }
    return false;
}

ModelCheckResult ModelChecker::Run(const char* path) {
    ModelCheckResult result;
    ModelStore.TextureMode = 0;  // as on the viewer's first load
    const bool isUtf16 = CheckEncoding(path);
    RegularFile opened = {};
    if (!(isUtf16 ? LoadModelFileReported(path, &opened) : LoadModelFileObserved(path, Observe, this, &opened))) {
        result.readError = DescribeFileOpenFailure(opened);
        return result;
    }
    result.isRead = true;
    if (verticesSeen_ > 0) ReportGeometry(count_);
    ReportUnreadLines();
    result.triangleCount = ModelStore.triangleCount;
    result.textureMode = ModelStore.TextureMode;
    ReleaseModelStore();
    return result;
}

}  // namespace

ModelCheckResult CheckModelFile(const char* path, const std::string& shownName, CheckReport* report) {
    ModelChecker checker(shownName, report);
    return checker.Run(path);
}
