#include "Algos/Mads/TeskoraSearchMethod.hpp"

#include "Math/ArrayOfDouble.hpp"
#include "Math/Point.hpp"
#include "Output/OutputQueue.hpp"
#include "Param/RunParameters.hpp"

namespace QARNO_4_0_0
{

TeskoraSearchMethod::TeskoraSearchMethod(const Step* parentStep) : SearchMethodAlgo(parentStep)
{
    init();
}

TeskoraSearchMethod::~TeskoraSearchMethod() = default;

void TeskoraSearchMethod::init()
{
    setName("Teskora Search Method");
    verifyParentNotNull();

    // No model search inside the optimisation of a model search's model.
    for (const Step* s = getParentStep()->getParentStep(); nullptr != s; s = s->getParentStep())
    {
        if (nullptr != dynamic_cast<const TeskoraSearchMethod*>(s))
        {
            _enabled = false;
            return;
        }
    }

    _enabled = requireRunParams().getAttributeValue<bool>("TESKORA_SEARCH");
    if (_enabled)
    {
        AddOutputInfo(getName() +
                      " cannot be performed because QARNO is compiled without teskora library");
        _enabled = false;
    }
}

bool TeskoraSearchMethod::runImp()
{
    generateTrialPoints();
    return evalTrialPoints(this);
}

void TeskoraSearchMethod::getBestProjection(const Point& /*incumbent*/,
                                            const ArrayOfDouble& /*deltaMeshSize*/,
                                            std::shared_ptr<Point> /*x*/)
{
}

} // namespace QARNO_4_0_0
