#ifndef QARNO_ALGOS_MADS_USERSEARCHMETHOD_HPP
#define QARNO_ALGOS_MADS_USERSEARCHMETHOD_HPP

#include "Algos/Mads/SearchMethodSimple.hpp"

namespace QARNO_4_0_0
{

/// The place of a search programmed by the user: named "User Search
/// Method" and always disabled, so the `Search` never starts it.
class UserSearchMethod : public SearchMethodSimple
{
public:
    explicit UserSearchMethod(const Step* parentStep);
    ~UserSearchMethod() override;

protected:
    void init();
    /// Throws: no user search exists.
    void generateTrialPointsImp() override;
};

} // namespace QARNO_4_0_0

#endif
