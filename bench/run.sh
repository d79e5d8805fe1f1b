echo "no benchmarks yet"
