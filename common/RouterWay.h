#pragma once

// How the program reaches the router: automatically (its web pages first, UPnP when they are
// not there), or pinned to one way by the "router" key of setup.ini ("web" or "upnp").
enum class RouterWay { Automatic, Web, Upnp };
