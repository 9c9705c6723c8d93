#include "Algos/Mads/QuadSearchMethod.hpp"

#include "Output/OutputQueue.hpp"
#include "Param/RunParameters.hpp"

namespace QARNO_4_0_0
{

QuadSearchMethod::QuadSearchMethod(const Step* parentStep) : SearchMethodSimple(parentStep)
{
    init();
}

QuadSearchMethod::~QuadSearchMethod() = default;

void QuadSearchMethod::init()
{
    setName("Quad Model Search Method");
    verifyParentNotNull();

    // No model search inside the optimisation of a model search's model.
    for (const Step* s = getParentStep()->getParentStep(); nullptr != s; s = s->getParentStep())
    {
        if (nullptr != dynamic_cast<const QuadSearchMethod*>(s))
        {
            _enabled = false;
            return;
        }
    }

    _enabled = requireRunParams().getAttributeValue<bool>("QUAD_MODEL_SEARCH");
    if (_enabled)
    {
        AddOutputInfo(getName() +
                      " cannot be performed because QARNO is compiled without teskora library");
        _enabled = false;
    }
}

} // namespace QARNO_4_0_0
