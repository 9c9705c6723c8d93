#ifndef QARNO_OUTPUT_STATSINFO_HPP
#define QARNO_OUTPUT_STATSINFO_HPP

#include <cstddef>
#include <string>

#include "Math/ArrayOfDouble.hpp"
#include "Math/Double.hpp"
#include "Math/Point.hpp"
#include "Output/DisplayStatsType.hpp"
#include "Util/Utils.hpp"

namespace QARNO_4_0_0
{

class ArrayOfString;

/// The record of one reported evaluation and its formatter.
///
/// The producer (the evaluation queue) fills a record through the setters;
/// the output queue formats it as a statistics line for standard output and
/// the statistics file, and the history and solution writer formats it as
/// "SOL BBO". A line is made from a list of words: each word is a keyword of
/// `DisplayStatsType`, optionally preceded by a printf-like format
/// ("%.2fOBJ"), or any other text, copied as written.
///
///     StatsInfo stats;
///     stats.setBBE(12);
///     stats.setObj(3.14159);
///     stats.display(ArrayOfString("BBE %.1fOBJ", " "), ArrayOfDouble(), 0, 0, false, false);
///     // "12 3.1"
///
/// Numbers are written into the one line text, never through the process
/// locale: the library may run inside a program that calls setlocale.
class StatsInfo
{
public:
    /// Every count 0, every value undefined, every text and array empty.
    StatsInfo();

    /// The text of the keyword; "UNDEFINED" for a value outside the enumeration.
    static std::string displayStatsTypeToString(const DisplayStatsType& displayStatsType);

    /// The keyword of a format word, in any case; `format` receives the
    /// word's leading display format ("%5.1f" of "%5.1fOBJ"), or is cleared.
    /// A word that is no keyword gives `DisplayStatsType::USER`.
    static DisplayStatsType stringToDisplayStatsType(const std::string& word, std::string& format);

    // Setters of the producer, one per field.
    void setObj(const Double& obj) { _obj = obj; }
    void setConsH(const Double& consH) { _consH = consH; }
    void setHMax(const Double& hMax) { _hMax = hMax; }
    void setBBE(size_t bbe) { _bbe = bbe; }
    void setFeasBBE(size_t feasBBE) { _feasBBE = feasBBE; }
    void setInfBBE(size_t infBBE) { _infBBE = infBBE; }
    void setRelSucc(size_t relSucc) { _relSucc = relSucc; }
    void setPhaseOneSucc(size_t phaseOneSucc) { _phaseOneSucc = phaseOneSucc; }
    void setAlgoBBE(size_t algoBBE) { _algoBBE = algoBBE; }
    void setBlkEva(size_t blkEva) { _blkEva = blkEva; }
    void setBlkSize(size_t blkSize) { _blkSize = blkSize; }
    void setBBO(const std::string& bbo) { _bbo = bbo; }
    void setEval(size_t eval) { _eval = eval; }
    void setCacheHits(size_t cacheHits) { _cacheHits = cacheHits; }
    void setCacheSize(size_t cacheSize) { _cacheSize = cacheSize; }
    void setIterNum(size_t iterNum) { _iterNum = iterNum; }
    void setTime(size_t time) { _time = time; }
    void setMeshIndex(const ArrayOfDouble& meshIndex) { _meshIndex = meshIndex; }
    void setMeshSize(const ArrayOfDouble& meshSize) { _meshSize = meshSize; }
    void setFrameSize(const ArrayOfDouble& frameSize) { _frameSize = frameSize; }
    void setLap(size_t lap) { _lap = lap; }
    void setSgte(size_t sgte) { _sgte = sgte; }
    void setTotalSgte(size_t totalSgte) { _totalSgte = totalSgte; }
    void setSol(const Point& sol) { _sol = sol; }
    void setThreadAlgo(int threadAlgo) { _threadAlgo = threadAlgo; }
    void setThreadNum(int threadNum) { _threadNum = threadNum; }
    void setSuccess(bool success) { _success = success; }
    void setComment(const std::string& comment) { _comment = comment; }
    void setGenStep(const std::string& genStep) { _genStep = genStep; }
    void setSuccessType(SuccessType successType) { _successType = successType; }

    const Double& getObj() const { return _obj; }
    const Double& getConsH() const { return _consH; }
    const std::string& getBBO() const { return _bbo; }
    const Point& getSol() const { return _sol; }
    bool getSuccess() const { return _success; }
    const std::string& getComment() const { return _comment; }

    /// Whether the line passes the display filters: never with an undefined
    /// objective; always for the first evaluation (BBE 0 or 1); otherwise
    /// only a feasible one unless `displayInfeasible`, only a success unless
    /// `displayUnsuccessful`.
    bool alwaysDisplay(bool displayInfeasible, bool displayUnsuccessful) const;

    /// The words of `format` without their display formats, joined by one
    /// blank; "BBE OBJ" for an empty format, as `display` shows then. Not
    /// aligned with the columns; `solFormat` and `objWidth` are not used.
    std::string displayHeader(const ArrayOfString& format, const ArrayOfDouble& solFormat,
                              size_t objWidth) const;

    /// One line (no line end) made of the words of `format`. Points and
    /// arrays use the precisions of `solFormat`; the objective is
    /// right-aligned in `objWidth` characters and h and hMax in `hWidth`.
    /// Words are separated by one blank, or by a tab after ")" and before
    /// "(". With `appendComment`, a blank and the comment when there is one;
    /// with `markSuccess`, " *" on a success. An empty format gives "BBE OBJ"
    /// with the comment and without alignment of h or success mark.
    std::string display(const ArrayOfString& format, const ArrayOfDouble& solFormat,
                        size_t objWidth, size_t hWidth, bool markSuccess, bool appendComment) const;

private:
    Double _obj;
    Double _consH;
    Double _hMax;
    size_t _bbe;
    size_t _feasBBE;
    size_t _infBBE;
    size_t _relSucc;
    size_t _phaseOneSucc;
    size_t _algoBBE;
    size_t _blkEva;
    size_t _blkSize;
    std::string _bbo;
    size_t _eval;
    size_t _cacheHits;
    size_t _cacheSize;
    size_t _iterNum;
    size_t _time;
    ArrayOfDouble _meshIndex;
    ArrayOfDouble _meshSize;
    ArrayOfDouble _frameSize;
    size_t _lap;
    size_t _sgte;
    size_t _totalSgte;
    Point _sol;
    int _threadAlgo;
    int _threadNum;
    bool _success;
    std::string _comment;
    std::string _genStep;
    SuccessType _successType;
};

} // namespace QARNO_4_0_0

#endif
