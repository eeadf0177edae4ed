// The registry reader: a root key, the open key or none, and typed reads.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

#include "forms.h"
#include "handles.h"

class TRegistry : public TObject {
public:
    // `access`: the rights asked when a key is opened.
    explicit TRegistry(REGSAM access = KEY_QUERY_VALUE);
    // Closes any key still open.
    ~TRegistry() override;
    TRegistry(const TRegistry&) = delete;
    TRegistry& operator=(const TRegistry&) = delete;

    // Setting the root key closes an open key.
    void SetRootKey(HKEY root);
    HKEY RootKey() const { return root_; }
    // The open key, or null.
    HKEY CurrentKey() const { return key_.get(); }

    // Opens an existing key below the root key (a leading backslash is
    // allowed), never creating it. On failure the reader has no open key and
    // the result is false; the reason is not kept.
    bool OpenKey(const std::wstring& path);
    // Releases the open key; with none open, does nothing.
    void CloseKey();

    // Reads a REG_DWORD of at most 4 bytes as a signed 32-bit integer. The
    // query is made even with no key open (with a null key, which the system
    // refuses). Throws ERegistryException "Failed to get data for '<name>'"
    // when the query fails and "Invalid data type for '<name>'" when the value
    // is not REG_DWORD. A value stored in fewer than 4 bytes reads as itself:
    // the buffer is zeroed first.
    std::int32_t ReadInteger(const std::wstring& name);

private:
    HKEY root_ = HKEY_CURRENT_USER;
    REGSAM access_;
    UniqueRegKey key_;
};
