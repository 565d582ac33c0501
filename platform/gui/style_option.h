#pragma once
// A widget's own style option, as it paints itself (initStyleOption is protected).

namespace platform {

template <class W, class Option>
Option styleOption(const W* widget)
{
    struct Access : W {
        using W::initStyleOption;
    };
    Option option;
    (widget->*(&Access::initStyleOption))(&option);
    return option;
}

} // namespace platform
