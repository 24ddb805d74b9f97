// Checks that an action fails with exactly one error class and exactly one message.
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <typeinfo>

#include "toolkit/core/Errors.h"

template <typename E, typename Action>
testing::AssertionResult FailsWith(Action&& action, const std::wstring& message)
{
    try {
        action();
    } catch (const Exception& e) {
        if (typeid(e) != typeid(E))
            return testing::AssertionFailure()
                   << "raised " << testing::PrintToString(std::wstring(e.ClassName())) << " with "
                   << testing::PrintToString(e.Message());
        if (e.Message() != message)
            return testing::AssertionFailure() << "message " << testing::PrintToString(e.Message());
        return testing::AssertionSuccess();
    }
    return testing::AssertionFailure() << "raised nothing";
}
