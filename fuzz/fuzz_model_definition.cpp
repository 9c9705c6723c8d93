// Surrogate model definitions ("TYPE PRS DEGREE 2 RIDGE 0.001"): read,
// checked, written back, and given to the model factory over a small
// training set. A definition read writes back to one that reads the same.

#include <cstdint>
#include <string>

#include "FuzzSupport.hpp"
#include "teskora/Exception.hpp"
#include "teskora/Matrix.hpp"
#include "teskora/SurrogateFactory.hpp"
#include "teskora/SurrogateParameters.hpp"
#include "teskora/TrainingSet.hpp"

using namespace TESKORA;

namespace
{

TrainingSet& trainingSet()
{
    static TrainingSet set = []
    {
        Matrix X("X", 6, 2);
        Matrix Z("Z", 6, 1);
        for (int i = 0; i < 6; ++i)
        {
            X.set(i, 0, i);
            X.set(i, 1, (i * 7) % 5);
            Z.set(i, 0, i * i - 3.0 * ((i * 7) % 5));
        }
        return TrainingSet(X, Z);
    }();
    return set;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    QarnoFuzz::silenceStreams();
    (void)trainingSet();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string definition = QarnoFuzz::textOf(data, size);
    try
    {
        const Surrogate_Parameters params(definition);
        const std::string written = params.get_string();
        const Surrogate_Parameters again(written);
        if (again.get_string() != written)
        {
            QarnoFuzz::propertyFailed("definition \"" + definition + "\" written \"" + written +
                                      "\" reads back as \"" + again.get_string() + "\"");
        }
        (void)params.get_short_string();
        (void)params.get_x();
    }
    catch (const TESKORA::Exception&)
    {
    }
    try
    {
        surrogate_delete(Surrogate_Factory(trainingSet(), definition));
    }
    catch (const TESKORA::Exception&)
    {
    }
    return 0;
}
