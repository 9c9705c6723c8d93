#ifndef QARNO_ALGOS_ALGOSTOPREASONS_HPP
#define QARNO_ALGOS_ALGOSTOPREASONS_HPP

#include <memory>
#include <string>

#include "Util/AllStopReasons.hpp"

namespace QARNO_4_0_0
{

/// The stop reasons of one algorithm: the shared ones of `AllStopReasons`,
/// the algorithm's own reason of type T, and the reason the evaluation queue
/// keeps for the calling main thread (when a queue is installed).
///
///     auto reasons = std::make_shared<AlgoStopReasons<MadsStopType>>();
///     reasons->_algoStopReason.set(MadsStopType::MIN_MESH_SIZE_REACHED);
///     reasons->getStopReasonAsString();
///     // "No termination (all). Min mesh size reached (Algo)"
///
/// Compiled once, in AlgoStopReasons.cpp, for the algorithms' stop types.
template <typename T> class AlgoStopReasons : public AllStopReasons
{
public:
    StopReason<T> _algoStopReason;

    AlgoStopReasons() = default;
    ~AlgoStopReasons() override;

    /// Own, shared and queue reasons := STARTED.
    void setStarted() override;
    std::string getStopReasonAsString() const override;
    bool checkTerminate() const override;

    /// The same object seen as `AlgoStopReasons<T>`; throws "Invalid shared
    /// pointer cast" for an empty pointer or another kind of reasons.
    static std::shared_ptr<AlgoStopReasons<T>>
    get(const std::shared_ptr<AllStopReasons>& allStopReasons);
};

extern template class AlgoStopReasons<MadsStopType>;
extern template class AlgoStopReasons<PhaseOneStopType>;
extern template class AlgoStopReasons<SSDMadsStopType>;
extern template class AlgoStopReasons<LHStopType>;
extern template class AlgoStopReasons<NMStopType>;
extern template class AlgoStopReasons<ModelStopType>;

} // namespace QARNO_4_0_0

#endif
