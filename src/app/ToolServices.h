#pragma once

class OrganizeService;

// The services of the tool screens, owned by main() and handed down to the
// main view, which builds the screens with them.
struct ToolServices
{
    OrganizeService* organizer = nullptr;
};
