#include "teskora/SurrogateFactory.hpp"

#include "teskora/Exception.hpp"
#include "teskora/SurrogateCN.hpp"
#include "teskora/SurrogateEnsemble.hpp"
#include "teskora/SurrogateKS.hpp"
#include "teskora/SurrogateKriging.hpp"
#include "teskora/SurrogateLOWESS.hpp"
#include "teskora/SurrogatePRS.hpp"
#include "teskora/SurrogateRBF.hpp"

namespace TESKORA
{

Surrogate* Surrogate_Factory(TrainingSet& trainingset, const std::string& definition)
{
    // A refused definition leaves before any model exists.
    const Surrogate_Parameters param(definition);
    switch (param.get_type())
    {
    case PRS:
        return new Surrogate_PRS(trainingset, param);
    case PRS_EDGE:
        return new Surrogate_PRS_EDGE(trainingset, param);
    case PRS_CAT:
        return new Surrogate_PRS_CAT(trainingset, param);
    case KS:
        return new Surrogate_KS(trainingset, param);
    case CN:
        return new Surrogate_CN(trainingset, param);
    case KRIGING:
        return new Surrogate_Kriging(trainingset, param);
    case RBF:
        return new Surrogate_RBF(trainingset, param);
    case LOWESS:
        return new Surrogate_LOWESS(trainingset, param);
    case ENSEMBLE:
        return new Surrogate_Ensemble(trainingset, param);
    default:
        // The record refuses every other type first.
        TESKORA_THROW("Undefined type");
    }
}

void Surrogate_Factory(Matrix& X, Matrix& Z, const std::string&)
{
    const TrainingSet trainingset(X, Z);
    trainingset.info();
    TESKORA_THROW("Surrogate_factory: constructor from matrices is forbiden.");
}

void surrogate_delete(Surrogate* model)
{
    delete model;
}

} // namespace TESKORA
