#pragma once

#include "Exception.h"

namespace quorvane {

// The network client's errors, each with the text the user may read.
class EIdException : public Exception
{
public:
    using Exception::Exception;
};

class EIdSocketError : public EIdException
{
public:
    EIdSocketError(int code, const std::string &message)
        : EIdException(message)
        , LastError(code)
    { }
    int LastError;
};

class EIdInvalidSocket : public EIdException
{
public:
    using EIdException::EIdException;
};

class EIdSocketHandleError : public EIdException
{
public:
    using EIdException::EIdException;
};

class EIdPackageSizeTooBig : public EIdSocketHandleError
{
public:
    using EIdSocketHandleError::EIdSocketHandleError;
};

class EIdNotAllBytesSent : public EIdSocketHandleError
{
public:
    using EIdSocketHandleError::EIdSocketHandleError;
};

class EIdStackError : public EIdException
{
public:
    using EIdException::EIdException;
};

class EIdStackInitializationFailed : public EIdStackError
{
public:
    using EIdStackError::EIdStackError;
};

class EIdInvalidIPAddress : public EIdStackError
{
public:
    using EIdStackError::EIdStackError;
};

// Only where a socket library has to be loaded at run time; never raised on this platform.
class EIdWS2StubError : public EIdException
{
public:
    using EIdException::EIdException;
};

} // namespace quorvane
