// The error kinds of the toolkit. Every error carries one message text and
// remembers the code address that raised it (for the start-up failure box).
#pragma once
#include <string>

class Exception {
public:
    explicit Exception(std::wstring message);
    virtual ~Exception() = default;
    const std::wstring& Message() const { return message_; }
    virtual const wchar_t* ClassName() const { return L"Exception"; }
    const void* Address() const { return address_; }

private:
    std::wstring message_;
    const void* address_;
};

// A registry read that failed; message "Failed to get data for '<name>'" or
// "Invalid data type for '<name>'".
class ERegistryException : public Exception {
public:
    using Exception::Exception;
    const wchar_t* ClassName() const override { return L"ERegistryException"; }
};

// The system has no more of a resource to give ("Not enough timers available").
class EOutOfResources : public Exception {
public:
    using Exception::Exception;
    const wchar_t* ClassName() const override { return L"EOutOfResources"; }
};
