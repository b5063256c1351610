#pragma once

namespace quindra::pulse {

// libpulse calls back through C function pointers with the object as the
// last `void* userdata` argument. memberCallback<&Class::method> is the one
// trampoline that turns such a call into a call of the method on that object,
// whatever the callback's other arguments are.
template <auto Method>
struct MemberCallbackImpl;

template <class C, class R, class... Args, R (C::*Method)(Args...)>
struct MemberCallbackImpl<Method> {
    static R call(Args... args, void* self) { return (static_cast<C*>(self)->*Method)(args...); }
};

template <auto Method>
inline constexpr auto memberCallback = &MemberCallbackImpl<Method>::call;

}  // namespace quindra::pulse
