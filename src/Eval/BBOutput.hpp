#ifndef QARNO_EVAL_BBOUTPUT_HPP
#define QARNO_EVAL_BBOUTPUT_HPP

#include <cstddef>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Math/ArrayOfDouble.hpp"
#include "Math/Double.hpp"
#include "Type/BBOutputType.hpp"

namespace QARNO_4_0_0
{

/// The line an evaluator returned for one point, kept verbatim, and whether
/// the evaluation ran.
///
/// The fields are the runs of characters between white space: blank, tab,
/// carriage return, line feed, vertical tab, form feed. This is the set the
/// cache and hot-restart readers split words on, so that a line read back
/// from a file gives the fields it had when the evaluator returned it (and
/// a line ending in CR LF gives no stray character). They are never stored as
/// numbers: the objective, the constraints and the count flag are read from
/// the text on demand, typed by the problem's BB_OUTPUT_TYPE list, so that a
/// cache read back from its file recomputes them under the current types.
///
///     BBOutput out("1.5 2 -3", true);
///     out.getObjective({OBJ, PB, PB});    // 1.5
///     out.getConstraints({OBJ, PB, PB});  // ( 2 -3 )
///
/// The text is held immutable behind a shared pointer: an output is copied
/// with every copy of its point (queue, cache, barrier), and the copies then
/// share one line instead of duplicating it. The line is split, and each
/// field read as a number, once when it is set: f, h and the checks of an
/// evaluation then read the fields without parsing the text again.
class BBOutput
{
public:
    /// Opening and closing words of the text form "( raw )".
    static const std::string bboStart;
    static const std::string bboEnd;

    explicit BBOutput(const std::string& rawBBO = "", bool evalOk = false);

    void setBBO(const std::string& rawBBO, bool evalOk);
    /// The output of an evaluator that returns numbers: the line holds each
    /// value in the shortest text that reads back as the same double
    /// ("inf", "-inf", "nan" for the non-finite ones), and the fields are
    /// those this line would give to `setBBO`, without reading it.
    void setBBO(const std::vector<double>& values, bool evalOk);

    /// Appends the field text of a value, as `setBBO` of numbers writes it.
    static void appendValue(std::string& line, double value);

    const std::string& getBBO() const { return _line ? _line->text : emptyText(); }
    bool getEvalOk() const { return _evalOk; }
    void setEvalOk(bool evalOk) { _evalOk = evalOk; }

    /// Whether `c` separates two fields.
    static bool isFieldSeparator(char c)
    {
        return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
    }

    /// The number of fields: the maximal runs of characters that separate none.
    size_t getNbFields() const;

    /// True when there is one field per output type. Otherwise writes on
    /// standard error "Error: Parameter BB_OUTPUT_TYPE has N type(s), but raw
    /// output has M field(s):" and the raw line, and answers false.
    bool checkSizeMatch(const BBOutputTypeList& bbOutputType) const;

    /// The field count matches and every OBJ, EB and PB field reads as a
    /// defined number (an infinity counts as one).
    bool isComplete(const BBOutputTypeList& bbOutputType) const;

    /// The first OBJ field as a number; undefined on a field-count mismatch,
    /// without an OBJ type, or when the field is no number.
    Double getObjective(const BBOutputTypeList& bbOutputType) const;

    /// The EB and PB fields in output order, undefined where no number; empty
    /// on a field-count mismatch.
    ArrayOfDouble getConstraints(const BBOutputTypeList& bbOutputType) const;

    /// Whether the evaluation counts: true, unless a CNT_EVAL field says no
    /// (the last such field decides). Throws "Unrecognized string for bool: "
    /// for a CNT_EVAL field that is no boolean word. No size check.
    bool getCountEval(const BBOutputTypeList& bbOutputType) const;

    /// Every field read as a number, whatever its type; undefined where no
    /// number.
    ArrayOfDouble getBBOAsArrayOfDouble() const;

    /// Field i (0-based) as a view into the raw text; empty past the end.
    std::string_view getField(size_t i) const;
    /// Field i read as a number (`fieldToDouble`); undefined past the end.
    Double getFieldValue(size_t i) const;

    /// A field read as a number: undefined when it is no number word.
    static Double fieldToDouble(std::string_view field);

private:
    static const std::string& emptyText();

    /// A line and its fields, shared by the copies of an output.
    struct Line
    {
        struct Field
        {
            size_t begin;
            size_t size;
            Double value;
        };
        std::string text;
        std::vector<Field> fields;
    };

    /// Null for an empty line.
    std::shared_ptr<const Line> _line;
    bool _evalOk;
};

/// "( " + raw + " )". The ok flag is not written. A line with a control
/// character or a field that would not read back as itself (")", or a field
/// beginning with a backslash) is written as its fields separated by single
/// blanks, each such field as a backslash followed by the field, with its
/// backslashes doubled and its control characters as "\xHH": the raw output
/// "10.58 )" is written "( 10.58 \) )".
std::ostream& operator<<(std::ostream& out, const BBOutput& bbo);

/// Reads "( w1 ... wn )": the words, escaped ones restored, re-joined by
/// single blanks become the raw output, marked ok. A text that does not open
/// with "(", ends before ")" or holds a malformed escaped word sets the
/// failbit and throws; the output is then unchanged.
std::istream& operator>>(std::istream& in, BBOutput& bbo);

} // namespace QARNO_4_0_0

#endif
