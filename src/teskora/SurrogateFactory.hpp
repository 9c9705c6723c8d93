#ifndef TESKORA_SURROGATE_FACTORY_HPP
#define TESKORA_SURROGATE_FACTORY_HPP

#include "teskora/Surrogate.hpp"

#include <string>

namespace TESKORA
{

// The one way to create a model: from a definition string, bound to a
// training set the caller keeps alive. The model comes back unbuilt and
// belongs to the caller.
Surrogate* Surrogate_Factory(TrainingSet& trainingset, const std::string& definition);

// Models are bound to a training set, never built from bare matrices: always
// refused.
void Surrogate_Factory(Matrix& X, Matrix& Z, const std::string& definition);

// Releases a model made by the factory; nothing for a null pointer.
void surrogate_delete(Surrogate* model);

} // namespace TESKORA

#endif
