#ifndef QARNO_UTIL_UNCOPYABLE_HPP
#define QARNO_UTIL_UNCOPYABLE_HPP

namespace QARNO_4_0_0
{

/// Private base of the classes that own a resource and must not be copied.
class Uncopyable
{
protected:
    Uncopyable() = default;
    ~Uncopyable() = default;

public:
    Uncopyable(const Uncopyable&) = delete;
    Uncopyable& operator=(const Uncopyable&) = delete;
};

} // namespace QARNO_4_0_0

#endif
