// The phasor control library; its control and entry points are added here.
extern "C" int gyroscribeVersion() { return 1; }
