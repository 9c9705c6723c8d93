#include "Algos/MeshBase.hpp"

#include <istream>
#include <ostream>
#include <string>

#include "Math/Direction.hpp"
#include "Param/PbParameters.hpp"
#include "Util/Exception.hpp"
#include "Util/StreamUtils.hpp"
#include "Util/Utils.hpp"

namespace QARNO_4_0_0
{

MeshBase::MeshBase(const std::shared_ptr<PbParameters>& pbParams)
    : _n(0), _pbParams(pbParams), _initialMeshSize(), _minMeshSize(), _initialFrameSize(),
      _minFrameSize()
{
    if (nullptr == _pbParams)
    {
        QARNO_THROW(Exception,
                    "A valid PbParameters must be provided to the MeshBase constructor.");
    }
    _n = _pbParams->getAttributeValue<size_t>("DIMENSION");
    _initialMeshSize = _pbParams->getAttributeValue<ArrayOfDouble>("INITIAL_MESH_SIZE");
    _minMeshSize = _pbParams->getAttributeValue<ArrayOfDouble>("MIN_MESH_SIZE");
    _initialFrameSize = _pbParams->getAttributeValue<ArrayOfDouble>("INITIAL_FRAME_SIZE");
    _minFrameSize = _pbParams->getAttributeValue<ArrayOfDouble>("MIN_FRAME_SIZE");
}

MeshBase::~MeshBase() = default;

ArrayOfDouble MeshBase::allCoordinates(Double (MeshBase::*coordinate)(size_t) const) const
{
    ArrayOfDouble values(_n);
    for (size_t i = 0; i < _n; ++i)
    {
        values[i] = (this->*coordinate)(i);
    }
    return values;
}

ArrayOfDouble MeshBase::getRho() const
{
    return allCoordinates(&MeshBase::getRho);
}

ArrayOfDouble MeshBase::getdeltaMeshSize() const
{
    return allCoordinates(&MeshBase::getdeltaMeshSize);
}

ArrayOfDouble MeshBase::getDeltaFrameSize() const
{
    return allCoordinates(&MeshBase::getDeltaFrameSize);
}

ArrayOfDouble MeshBase::getDeltaFrameSizeCoarser() const
{
    return allCoordinates(&MeshBase::getDeltaFrameSizeCoarser);
}

void MeshBase::setDeltas(const ArrayOfDouble& deltaMeshSize, const ArrayOfDouble& deltaFrameSize)
{
    if (deltaMeshSize.size() != _n || deltaFrameSize.size() != _n)
    {
        // Indexing past the arrays would read memory that is not theirs.
        QARNO_THROW(Exception, "setDeltas: expecting arrays of size " + itos(_n) + ", got sizes " +
                                   itos(deltaMeshSize.size()) + " and " +
                                   itos(deltaFrameSize.size()));
    }
    for (size_t i = 0; i < _n; ++i)
    {
        setDeltas(i, deltaMeshSize[i], deltaFrameSize[i]);
    }
}

Double MeshBase::scaleAndProjectOnMesh(size_t /*i*/, const Double& /*l*/) const
{
    QARNO_THROW(Exception, "scaleAndProjectOnMesh() not defined for MeshBase.");
}

ArrayOfDouble MeshBase::scaleAndProjectOnMesh(const Direction& /*dir*/) const
{
    QARNO_THROW(Exception, "scaleAndProjectOnMesh() not defined for MeshBase.");
}

Point MeshBase::projectOnMesh(const Point& /*point*/, const Point& /*frameCenter*/) const
{
    QARNO_THROW(Exception, "projectOnMesh() not defined for MeshBase.");
}

bool MeshBase::verifyPointIsOnMesh(const Point& point, const Point& center) const
{
    if (center.size() < point.size())
    {
        QARNO_THROW(Exception, "verifyPointIsOnMesh: center of size " + itos(center.size()) +
                                   " is smaller than the point of size " + itos(point.size()));
    }
    const Double* const p = point.data();
    const Double* const q = center.data();
    for (size_t i = 0; i < point.size(); ++i)
    {
        // A coordinate equal to the centre's is on the mesh whatever the
        // mesh size: either the centre's is a multiple, or their difference
        // is 0. Poll points differ from their centre in few coordinates.
        if (Double::sameDefinedValue(p[i], q[i]))
        {
            continue;
        }
        Double x = p[i];
        const Double& c = q[i];
        const Double delta = getdeltaMeshSize(i);
        if (!c.isMultipleOf(delta))
        {
            x -= c;
        }
        if (!x.isMultipleOf(delta))
        {
            return false;
        }
    }
    return true;
}

std::ostream& operator<<(std::ostream& os, const MeshBase& mesh)
{
    os << "DELTA_MESH_SIZE " << mesh.getdeltaMeshSize() << std::endl;
    os << "DELTA_FRAME_SIZE " << mesh.getDeltaFrameSize() << std::endl;
    return os;
}

namespace
{

/// Reads the n values of `keyword`; a mesh of another dimension (fewer or
/// more values) throws, naming the keyword and n.
void readSizes(std::istream& is, const std::string& keyword, ArrayOfDouble& sizes)
{
    const auto wrongCount = [&keyword, &sizes]()
    {
        return Exception(QARNO_SOURCE_FILE, __LINE__,
                         keyword + " does not hold " + itos(sizes.size()) +
                             " values, one per variable");
    };
    try
    {
        is >> sizes;
    }
    catch (const Exception&)
    {
        throw wrongCount();
    }
    std::string next;
    if (readWord(is, next))
    {
        Double value;
        value.atof(next);
        if (value.isDefined())
        {
            throw wrongCount();
        }
        putBackWord(is, next);
    }
    else
    {
        is.clear(is.rdstate() & ~std::ios::failbit);
    }
}

} // namespace

std::istream& operator>>(std::istream& is, MeshBase& mesh)
{
    const size_t n = mesh.getSize();
    ArrayOfDouble deltaMeshSize(n);
    ArrayOfDouble deltaFrameSize(n);
    std::string token;
    while (is >> token && is.good())
    {
        if ("DELTA_MESH_SIZE" == token)
        {
            readSizes(is, token, deltaMeshSize);
        }
        else if ("DELTA_FRAME_SIZE" == token)
        {
            readSizes(is, token, deltaFrameSize);
        }
        else
        {
            // The token belongs to the enclosing reader.
            for (size_t i = 0; i < token.size(); ++i)
            {
                is.unget();
            }
            break;
        }
    }
    mesh.setDeltas(deltaMeshSize, deltaFrameSize);
    return is;
}

} // namespace QARNO_4_0_0
