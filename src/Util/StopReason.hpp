#ifndef QARNO_UTIL_STOPREASON_HPP
#define QARNO_UTIL_STOPREASON_HPP

#include <map>
#include <string>

#include "Util/StopReasonTypes.hpp"

namespace QARNO_4_0_0
{

/// Why some work stops: the current value of one stop-type enumeration T.
///
/// Each stop type has a fixed text per value (its dictionary, one read-only
/// map per process, made on first use) and a rule saying which values end the
/// work. The class exists for the ten types of Util/StopReasonTypes.hpp only;
/// its members are compiled once, in StopReason.cpp.
///
///     StopReason<MadsStopType> reason;                     // STARTED
///     reason.set(MadsStopType::MIN_MESH_SIZE_REACHED);
///     reason.checkTerminate();                             // true
///     reason.getStopReasonAsString();                      // "Min mesh size reached"
///
/// A value only changes through set() and setStarted(), so it is always one
/// of the dictionary's keys.
template <typename T> class StopReason
{
public:
    /// STARTED; throws when the dictionary of T is malformed.
    StopReason();
    virtual ~StopReason();

    /// The dictionary of T: its text for each value.
    const std::map<T, std::string>& dict() const;
    /// Checks the dictionary of T against the values of T.
    void testValidity() const;
    /// Checks `dictionary` against the values of T: not empty, one entry per
    /// value, every value present. Throws on the first fault found.
    static void testDictionary(const std::map<T, std::string>& dictionary);

    /// Stores `value`; throws "Stop reason not found." and keeps the current
    /// value when `value` has no text.
    void set(T value);
    T get() const { return _stopReason; }
    void setStarted() { _stopReason = T::STARTED; }
    bool isStarted() const { return _stopReason == T::STARTED; }

    /// The text of the current value.
    std::string getStopReasonAsString() const;
    /// True when the current value ends the work.
    bool checkTerminate() const { return terminates(_stopReason); }
    /// True when `value` ends the work; throws for a value outside T.
    static bool terminates(T value);

private:
    T _stopReason;
};

extern template class StopReason<BaseStopType>;
extern template class StopReason<MadsStopType>;
extern template class StopReason<PhaseOneStopType>;
extern template class StopReason<SSDMadsStopType>;
extern template class StopReason<LHStopType>;
extern template class StopReason<NMStopType>;
extern template class StopReason<IterStopType>;
extern template class StopReason<EvalGlobalStopType>;
extern template class StopReason<EvalMainThreadStopType>;
extern template class StopReason<ModelStopType>;

} // namespace QARNO_4_0_0

#endif
