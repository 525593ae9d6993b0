#pragma once
// Registration of the component with the desktop search service as a query
// client. The service answers queries only with the cookie it issued then.

namespace qv {

// The component's identity towards the search service (not one of its COM class IDs).
constexpr wchar_t kComponentGuid[] = L"{FD1AADC8-F387-48DF-AD0E-A2AC0E54C599}";

// Registers with the service and stores the new cookie in memory and in the
// cookie file. True when every step succeeded; a failure at the finishing step
// still leaves the issued cookie stored.
bool RegisterComponent();
// Removes the registration and forgets the in-memory cookie (the cookie file
// stays). True when the service accepted it.
bool UnregisterComponent();
// True when the service's registrar can be created: the service is installed.
bool IsSearchServiceAvailable();

}  // namespace qv
