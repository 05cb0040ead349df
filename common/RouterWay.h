#pragma once

// How the program reaches the router: automatically (the PC's own dial-up connection when one
// is up, else the router's web pages, UPnP when they are not there), or pinned to one way by
// the "router" key of setup.ini ("web", "upnp" or "dialup").
enum class RouterWay { Automatic, Web, Upnp, Dialup };
