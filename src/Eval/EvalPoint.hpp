#ifndef QARNO_EVAL_EVALPOINT_HPP
#define QARNO_EVAL_EVALPOINT_HPP

#include <array>
#include <cstddef>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Eval/BBOutput.hpp"
#include "Eval/Eval.hpp"
#include "Math/Point.hpp"
#include "Type/EvalStatusType.hpp"
#include "Type/EvalType.hpp"

namespace QARNO_4_0_0
{

/// A point of the variable space with what is known of its evaluation: at
/// most one blackbox and one surrogate `Eval`, a tag, the main thread that
/// created it, how often it was evaluated and the point it came from.
///
/// Tags number points in the order they are first registered (by the cache,
/// or by the queue for points that bypass it); a copy carries its source's
/// tag, so every copy of one point answers with the same number. The counter
/// is process-wide and starts again at 1 after `resetCurrentTag`.
///
/// Points are copied into the queue, the cache and the barrier, so a copy is
/// kept cheap: the evaluations are stored inline (no allocation besides the
/// coordinates), their raw output line is shared, and the point of origin
/// is a shared plain `Point`, never a chain of evaluation points.
///
/// Its text form is one line of the cache file:
///
///     ( 1 2 ) EVAL_OK ( 3.5 0 )
///
/// (coordinates, then the blackbox status and raw output when there is a
/// blackbox evaluation; each coordinate in the shortest text that reads back
/// as the same value). Reading it back gives an evaluation whose f and h must
/// be recomputed.
class EvalPoint : public Point
{
public:
    EvalPoint();
    explicit EvalPoint(size_t n);
    explicit EvalPoint(const Point& x);
    explicit EvalPoint(Point&& x);
    EvalPoint(const EvalPoint& evalPoint) = default;
    EvalPoint(EvalPoint&& evalPoint) noexcept = default;
    EvalPoint& operator=(const EvalPoint& evalPoint) = default;
    EvalPoint& operator=(EvalPoint&& evalPoint) noexcept = default;
    ~EvalPoint() override = default;

    /// Copies everything but the coordinates: tag, thread, count, both
    /// evaluations (deep) and the shared point of origin.
    void copyMembers(const EvalPoint& evalPoint);

    /// Always throws: whether "defined" means the coordinates or an
    /// evaluation is ambiguous here; ask the coordinates or a value instead.
    bool isDefined() const override;

    // ---------------------------------------------------------------------
    // Evaluations
    // ---------------------------------------------------------------------

    /// Null when there is none (always for UNDEFINED). Not owned. Inline:
    /// the ranking of simplices and caches asks it for every point compared.
    Eval* getEval(EvalType evalType)
    {
        if (evalType == EvalType::UNDEFINED)
        {
            return nullptr;
        }
        auto& e = _eval[slot(evalType)];
        return e ? &*e : nullptr;
    }
    const Eval* getEval(EvalType evalType) const
    {
        if (evalType == EvalType::UNDEFINED)
        {
            return nullptr;
        }
        const auto& e = _eval[slot(evalType)];
        return e ? &*e : nullptr;
    }
    /// Stores a copy in the SGTE slot for SGTE, in the BB slot otherwise.
    void setEval(const Eval& eval, EvalType evalType);

    bool isEvalOk(EvalType evalType) const;
    /// EVAL_STATUS_UNDEFINED when there is no such evaluation.
    EvalStatusType getEvalStatus(EvalType evalType) const;
    /// Creates the evaluation when missing; throws for UNDEFINED.
    void setEvalStatus(EvalStatusType evalStatus, EvalType evalType);
    /// False when there is no such evaluation.
    bool isFeasible(EvalType evalType) const;

    /// Undefined when there is no such evaluation.
    Double getF(EvalType evalType = EvalType::BB) const;
    Double getH(EvalType evalType = EvalType::BB) const;
    /// Throw when there is no such evaluation.
    void setF(const Double& f, EvalType evalType = EvalType::BB);
    void setH(const Double& h, EvalType evalType = EvalType::BB);

    /// The raw output line; empty when there is no such evaluation.
    std::string getBBO(EvalType evalType) const;
    /// Stores the output, f and h to be recomputed. Creates the evaluation
    /// when missing; throws for UNDEFINED.
    void setBBO(const BBOutput& bbOutput, EvalType evalType = EvalType::BB, bool evalOk = true);
    /// Stores the output and interprets it under the output types. Creates
    /// the evaluation when missing; throws for UNDEFINED.
    /// Stores the numbers an evaluator returned and interprets them
    /// (`BBOutput::setBBO` of numbers). Creates the evaluation when missing;
    /// throws for UNDEFINED.
    void setBBO(const std::vector<double>& values, const BBOutputTypeList& bbOutputTypes,
                EvalType evalType = EvalType::BB, bool evalOk = true);
    void setBBO(const std::string& bbo, const BBOutputTypeList& bbOutputTypes,
                EvalType evalType = EvalType::BB, bool evalOk = true);
    /// As above, the types given as text ("OBJ PB").
    void setBBO(const std::string& bbo, const std::string& sBBOutputTypes,
                EvalType evalType = EvalType::BB, bool evalOk = true);

    /// Interprets the stored outputs again under `bbOutputTypes`.
    void recomputeFH(const BBOutputTypeList& bbOutputTypes);

    /// `Eval::dominates` of the evaluations of that type; false against
    /// itself or when either has none.
    bool dominates(const EvalPoint& other, EvalType evalType) const;
    /// Blackbox dominance. Sets of points are ordered by `EvalPointCompare`.
    bool operator<(const EvalPoint& other) const { return dominates(other, EvalType::BB); }

    /// Same coordinates and equal evaluations of both types. Throws when a
    /// blackbox evaluation must be recomputed first.
    bool operator==(const EvalPoint& other) const;
    bool operator!=(const EvalPoint& other) const { return !(*this == other); }

    /// Whether the point needs an evaluation of that type: none yet, or a
    /// blackbox one that may be repeated, below `maxNumberEval` evaluations.
    bool toEval(short maxNumberEval, EvalType evalType) const;

    static bool hasBbEval(const EvalPoint& evalPoint);
    static bool hasSgteEval(const EvalPoint& evalPoint);
    static void clearEvalSgte(EvalPoint& evalPoint);

    // ---------------------------------------------------------------------
    // Tag, thread, count, point of origin
    // ---------------------------------------------------------------------

    /// Gives the next tag when the point has none; a given tag never changes.
    void updateTag() const;
    /// The next tag given will be 1.
    static void resetCurrentTag();
    /// The last tag given (0 when none since load or reset).
    static size_t getCurrentTag() { return _currentTag; }

    size_t getTag() const { return _tag; }
    /// Const, like `updateTag`: the cache hands its tag back to the caller's
    /// point, whatever the caller's access to it.
    void setTag(size_t tag) const { _tag = tag; }
    int getThreadAlgo() const { return _threadAlgo; }
    void setThreadAlgo(int threadAlgo) { _threadAlgo = threadAlgo; }
    short getNumberEval() const { return _numberEval; }
    void setNumberEval(short numberEval) { _numberEval = numberEval; }
    void incNumberEval() { ++_numberEval; }

    const std::shared_ptr<Point>& getPointFrom() const { return _pointFrom; }
    /// The point of origin in the sub-space of `fixedVariable` (a new
    /// point); null when there is none.
    std::shared_ptr<Point> getPointFrom(const Point& fixedVariable) const;
    /// Shares `pointFrom`; throws when it has fewer coordinates than this point.
    void setPointFrom(const std::shared_ptr<Point>& pointFrom);
    /// Shares `pointFrom`, first turning it, in place, into its full-space
    /// form when it has fewer coordinates than this point.
    void setPointFrom(const std::shared_ptr<Point>& pointFrom, const Point& fixedVariable);

    // ---------------------------------------------------------------------
    // Sub-space and full space
    // ---------------------------------------------------------------------

    /// This point with the fixed values put back; other members copied.
    EvalPoint makeFullSpacePointFromFixed(const Point& fixedVariable) const;
    /// This point without its fixed coordinates (whose values are checked);
    /// other members copied.
    EvalPoint makeSubSpacePointFromFixed(const Point& fixedVariable) const;

    // ---------------------------------------------------------------------
    // Text
    // ---------------------------------------------------------------------

    /// "#tag ( coords )" and, with a blackbox evaluation, a tab and its display.
    std::string display(const ArrayOfDouble& format = ArrayOfDouble()) const override;
    /// "#tag ( coords )" then "\t(BB - ...)" and "\t(SGTE - ...)" for the
    /// evaluations present.
    std::string displayAll() const;

private:
    static size_t slot(EvalType evalType) { return evalType == EvalType::SGTE ? 1 : 0; }
    /// The evaluation of that type, created when missing; throws with
    /// `what` for UNDEFINED.
    Eval& evalForUpdate(EvalType evalType, const char* what);

    /// Blackbox (0) and surrogate (1) evaluations.
    std::array<std::optional<Eval>, 2> _eval;
    mutable size_t _tag;
    int _threadAlgo;
    short _numberEval;
    std::shared_ptr<Point> _pointFrom;

    static size_t _currentTag;
};

using EvalPointPtr = std::shared_ptr<EvalPoint>;
using ConstEvalPointPtr = std::shared_ptr<const EvalPoint>;

/// The order of every set of evaluation points: by coordinates only
/// (`Point::weakLess`), whatever their evaluations.
struct EvalPointCompare
{
    bool operator()(const EvalPoint& p1, const EvalPoint& p2) const
    {
        return Point::weakLess(p1, p2);
    }
};

/// Copies into `foundEvalPoint` the first element with the coordinates of
/// `point`; false when there is none.
bool findInList(const Point& point, const std::vector<EvalPoint>& evalPointList,
                EvalPoint& foundEvalPoint);

/// In place: every element of sub-space size gets its fixed values back.
void convertPointListToFull(std::vector<EvalPoint>& evalPointList, const Point& fixedVariable);
/// In place: every element of full-space size loses its fixed coordinates.
/// Throws for a fixed-variable point of size 0.
void convertPointListToSub(std::vector<EvalPoint>& evalPointList, const Point& fixedVariable);

/// The cache-file line of the point, without line end.
std::ostream& operator<<(std::ostream& out, const EvalPoint& evalPoint);
/// Reads a cache-file line into `evalPoint` (see the class comment). An
/// empty input leaves it unchanged; a line that does not open with "("
/// sets the failbit and throws.
std::istream& operator>>(std::istream& in, EvalPoint& evalPoint);

} // namespace QARNO_4_0_0

#endif
