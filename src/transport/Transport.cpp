// The mailslot transport: endpoints, writers, the messenger endpoint and the Linux carrier.
