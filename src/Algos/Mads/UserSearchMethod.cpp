#include "Algos/Mads/UserSearchMethod.hpp"

#include "Util/Exception.hpp"

namespace QARNO_4_0_0
{

UserSearchMethod::UserSearchMethod(const Step* parentStep) : SearchMethodSimple(parentStep)
{
    init();
}

UserSearchMethod::~UserSearchMethod() = default;

void UserSearchMethod::init()
{
    setName("User Search Method");
    _enabled = false;
}

void UserSearchMethod::generateTrialPointsImp()
{
    QARNO_THROW(Exception, "User search not implemented.");
}

} // namespace QARNO_4_0_0
