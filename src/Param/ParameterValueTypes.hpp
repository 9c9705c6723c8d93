#ifndef QARNO_PARAM_PARAMETERVALUETYPES_HPP
#define QARNO_PARAM_PARAMETERVALUETYPES_HPP

// The seventeen value types a parameter can take, as one list: the typed
// templates of the parameter framework are compiled once, for these types
// only, and every list of instantiations is generated from here.

#include <cstddef>
#include <string>

#include "Math/ArrayOfDouble.hpp"
#include "Math/ArrayOfPoint.hpp"
#include "Math/Double.hpp"
#include "Math/Point.hpp"
#include "Type/BBInputType.hpp"
#include "Type/BBOutputType.hpp"
#include "Type/DirectionType.hpp"
#include "Type/EvalType.hpp"
#include "Type/LHSearchType.hpp"
#include "Type/ListOfVariableGroup.hpp"
#include "Type/TeskoraModelFeasibilityType.hpp"
#include "Type/TeskoraModelFormulationType.hpp"
#include "Util/ArrayOfString.hpp"

/// Applies X to every value type but `Point` (whose typed read has a
/// specialisation of its own).
#define QARNO_FOR_EACH_PARAMETER_TYPE_BUT_POINT(X)                                                 \
    X(int)                                                                                         \
    X(size_t)                                                                                      \
    X(bool)                                                                                        \
    X(Double)                                                                                      \
    X(std::string)                                                                                 \
    X(ArrayOfDouble)                                                                               \
    X(ArrayOfPoint)                                                                                \
    X(ArrayOfString)                                                                               \
    X(BBInputTypeList)                                                                             \
    X(BBOutputTypeList)                                                                            \
    X(LHSearchType)                                                                                \
    X(DirectionType)                                                                               \
    X(EvalType)                                                                                    \
    X(TeskoraModelFeasibilityType)                                                                 \
    X(TeskoraModelFormulationType)                                                                 \
    X(ListOfVariableGroup)

/// Applies X to every value type.
#define QARNO_FOR_EACH_PARAMETER_TYPE(X)                                                           \
    QARNO_FOR_EACH_PARAMETER_TYPE_BUT_POINT(X)                                                     \
    X(Point)

#endif
