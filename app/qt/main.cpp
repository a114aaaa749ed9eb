// The daymark program: start-up, event loop, shutdown.
int main() { return 0; }
