#include "Algos/Mads/UserSearchMethod.hpp"

#include "Util/Exception.hpp"

namespace QARNO_4_0_0
{

namespace
{

const char* const SOURCE_FILE = "src/Algos/Mads/UserSearchMethod";

} // namespace

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
    throw Exception(SOURCE_FILE, __LINE__, "User search not implemented.");
}

} // namespace QARNO_4_0_0
