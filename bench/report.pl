#!/usr/bin/perl
# Turns the measurements of bench/run.sh into tables, a Markdown report and an SVG chart.
#
#   perl bench/report.pl compare OUT/results.tsv OUT   -> table on stdout, OUT/results.md, OUT/chart.svg
#   perl bench/report.pl scaling OUT/scaling.tsv OUT   -> table on stdout, OUT/scaling.md
#   perl bench/report.pl hostile OUT/hostile.tsv OUT   -> table on stdout, OUT/hostile.md
#
# Input lines (tab-separated): section job tool label bytes median_s fastest_s runs peak_rss_kb
# exit_status output_crc output_bytes command. Exit status: 0 when every check passed, 1 when one failed.
use strict;
use warnings;

my ($mode, $tsv, $out) = @ARGV;
die "usage: report.pl compare|scaling|hostile TSV OUTDIR\n" unless $mode && $tsv && $out;

# Targets: brixfilter at least this many times the speed of the fastest peer, at most this many
# bytes of peak memory per input byte; scaling within this factor of the ideal.
my $SPEED_TARGET = 10;
my $RSS_TARGET   = 1.25;  # peak RSS per input byte of one option
my $CAT_TARGET   = 3;     # or: at most this many times the time of cat on the same file
my $SCALE_SLACK  = 1.3;
# Hostile documents: time(large)/time(small) within this factor of the size ratio (5 for 1M
# against 4M), and the large document done in less than this many seconds.
my $HOSTILE_SLACK = 1.25;
my $HOSTILE_TIME  = 1;

my %JOBNAME = (
    floor => 'floor',
    walk  => 'least element walk',
    c     => '-c   strip comments',
    t     => '-t   strip markup',
    d     => '-d   delete empty',
    s     => '-sbook,title list',
    S     => '-Sbook  step over',
    R     => '-Rtitle=xxx replace',
);
my @JOBS  = qw(c t d s S R);
my %HOSTILE_JOBNAME = (
    c  => '-c', t => '-t', d => '-d', s1 => '-sp', s2 => '-sp,b', Sj => '-Sp (occurs)', Sn => '-Snix (occurs nowhere)',
    Rj => '-Rb=xxx (matches)', Rn => '-Rnix=xxx (matches nothing)', chain => '-c -d -sp,b',
);
my @HOSTILE_JOBS = qw(c t d s1 s2 Sj Sn Rj Rn chain);
my @TOOLS = qw(brixfilter perl sed xmlstarlet);

my @rows;
open my $fh, '<', $tsv or die "report.pl: $tsv: $!\n";
while (<$fh>) {
    chomp;
    next unless length;
    my @f = split /\t/, $_, 13;
    push @rows, {
        section => $f[0], job => $f[1], tool => $f[2], label => $f[3], bytes => $f[4],
        median  => $f[5], fastest => $f[6], runs => $f[7], rss => $f[8] * 1024, status => $f[9],
        crc     => $f[10], outlen => $f[11], cmd => $f[12],
    };
}
close $fh;
die "report.pl: no measurements in $tsv\n" unless @rows;

sub timed_out { $_[0]{status} == 124 }
sub not_run   { timed_out($_[0]) && $_[0]{crc} eq 'skipped' }
sub ok_run    { $_[0]{status} == 0 }
sub mbps      { my $r = shift; $r->{median} > 0 ? $r->{bytes} / 1e6 / $r->{median} : 0 }
sub bpb       { my $r = shift; $r->{bytes} ? $r->{rss} / $r->{bytes} : 0 }
sub fmt_s     { my $r = shift; timed_out($r) ? sprintf('>%g', $r->{median}) : sprintf('%.3f', $r->{median}) }
sub fmt_mbps  { my $r = shift; my $v = mbps($r); (timed_out($r) ? '<' : '') . ($v >= 100 ? sprintf('%.0f', $v) : sprintf('%.1f', $v)) }
sub fmt_mib   { sprintf '%.1f', $_[0]{rss} / 1048576 }
sub fmt_bpb   { sprintf '%.2f', bpb($_[0]) }
sub fmt_x     { my $v = shift; $v >= 100 ? sprintf('%.0fx', $v) : $v >= 10 ? sprintf('%.1fx', $v) : sprintf('%.2fx', $v) }
sub mb        { sprintf '%.1f MB', $_[0] / 1e6 }

sub note_status {
    my $r = shift;
    return 'timeout' if timed_out($r);
    return "exit $r->{status}" unless ok_run($r);
    return '';
}

sub environment {
    my $file = shift;
    open my $e, '<', $file or return '';
    local $/;
    my $t = <$e>;
    close $e;
    return $t;
}

# Fixed-width text table; the first row holds the headers.
sub text_table {
    my @t = @_;
    my @w;
    for my $row (@t) {
        for my $i (0 .. $#$row) {
            my $l = length_chars($row->[$i]);
            $w[$i] = $l if !defined $w[$i] || $l > $w[$i];
        }
    }
    my $s = '';
    for my $k (0 .. $#t) {
        my $row  = $t[$k];
        my @cells;
        for my $i (0 .. $#$row) {
            my $c   = $row->[$i];
            my $pad = ' ' x ($w[$i] - length_chars($c));
            push @cells, ($c =~ /^[<>]?[0-9.]+(x| s)?$/ || $c =~ /^-?[0-9.]+$/) ? $pad . $c : $c . $pad;
        }
        $s .= join('  ', @cells) =~ s/\s+$//r . "\n";
        $s .= join('  ', map { '-' x $_ } @w) . "\n" if $k == 0;
    }
    return $s;
}
sub length_chars { my $s = shift; utf8::decode($s); length $s }

sub md_table {
    my @t = @_;
    my $s = '| ' . join(' | ', @{ $t[0] }) . " |\n";
    $s .= '|' . join('|', map { /^(median|fastest|MB|RSS|brix|time|size |limit|speed|ratio)/ ? '---:' : '---' } @{ $t[0] }) . "|\n";
    $s .= '| ' . join(' | ', map { s/\|/\\|/gr } @$_) . " |\n" for @t[1 .. $#t];
    return $s;
}

my $failed = 0;

if ($mode eq 'compare') {
    my @main  = grep { $_->{section} eq 'main' } @rows;
    my @kinds = grep { $_->{section} eq 'kinds' } @rows;
    my ($floor) = grep { $_->{job} eq 'floor' } @main;

    my @t = (['job', 'tool', 'document', 'median s', 'MB/s', 'RSS MiB', 'RSS B/B', 'brixfilter/peer', 'note']);
    my @verdicts;
    my %chart;
    my ($walk) = grep { $_->{job} eq 'walk' } @main;
    for my $r (grep { defined } $floor, $walk) {
        push @t, [$JOBNAME{$r->{job}}, $r->{tool}, $r->{label}, fmt_s($r), fmt_mbps($r), fmt_mib($r), fmt_bpb($r), '',
                  note_status($r)];
    }
    # Each element option's time over that of the least element walk on the same document.
    my @walk;
    if ($walk && ok_run($walk) && !timed_out($walk) && $walk->{median} > 0) {
        for my $j (qw(d s S R)) {
            my ($bx) = grep { $_->{job} eq $j && $_->{tool} eq 'brixfilter' } @main;
            next unless $bx && ok_run($bx) && !timed_out($bx);
            push @walk, sprintf('%-22s %s s, %.2fx the least element walk (%s s)', $JOBNAME{$j}, fmt_s($bx),
                                $bx->{median} / $walk->{median}, fmt_s($walk));
        }
    }
    for my $j (@JOBS) {
        my @r = grep { $_->{job} eq $j } @main;
        next unless @r;
        my ($bx) = grep { $_->{tool} eq 'brixfilter' } @r;
        my @peers = grep { $_->{tool} ne 'brixfilter' && ok_run($_) && !timed_out($_) && mbps($_) > 0 } @r;
        my ($fast) = sort { mbps($b) <=> mbps($a) } @peers;
        my ($perl) = grep { $_->{tool} eq 'perl' } @r;
        for my $tool (@TOOLS) {
            my ($r) = grep { $_->{tool} eq $tool } @r;
            next unless $r;
            my $ratio = '';
            if ($bx && ok_run($bx) && !timed_out($bx)) {
                if ($tool eq 'brixfilter') {
                    $ratio = $fast ? fmt_x(mbps($bx) / mbps($fast)) . " vs $fast->{tool}" : '';
                } elsif (ok_run($r) && !timed_out($r) && mbps($r) > 0) {
                    $ratio = fmt_x(mbps($bx) / mbps($r));
                }
            }
            my @note = grep { length } (note_status($r));
            if ($tool eq 'brixfilter' && $floor && ok_run($r)) {
                push @note, 'output = input (placeholder?)'
                    if $r->{outlen} == $floor->{outlen} && $r->{crc} eq $floor->{crc};
                if ($perl && ok_run($perl) && !timed_out($perl) && !timed_out($r)) {
                    push @note, ($r->{crc} eq $perl->{crc} && $r->{outlen} == $perl->{outlen})
                        ? 'same output as perl' : 'output differs from perl';
                }
            }
            push @note, '1 run' if $r->{runs} == 1;
            push @t, [$JOBNAME{$j}, $tool, $r->{label}, fmt_s($r), fmt_mbps($r), fmt_mib($r), fmt_bpb($r), $ratio,
                      join('; ', @note)];
            $chart{$j}{$tool} = ok_run($r) && !timed_out($r) ? mbps($r) : 0;
        }
        if ($bx) {
            my $ok_b  = ok_run($bx) && !timed_out($bx);
            my $speed = $ok_b && $fast ? mbps($bx) / mbps($fast) : 0;
            # The time target: the fastest peer's time over SPEED_TARGET, or CAT_TARGET times
            # cat's, whichever is larger (on a fast machine cat's floor bounds what is possible).
            my $ziel  = $fast ? $fast->{median} / $SPEED_TARGET : 0;
            $ziel = $CAT_TARGET * $floor->{median} if $floor && ok_run($floor) && $CAT_TARGET * $floor->{median} > $ziel;
            my $sp    = $ok_b && $ziel > 0 && $bx->{median} <= $ziel;
            my $mem   = $ok_b && bpb($bx) <= $RSS_TARGET;
            $failed ||= !$sp || !$mem;
            push @verdicts, sprintf('%-22s %s s, %s the fastest peer%s (target <= %.3f s: %dx faster than it or %dx cat): %s;  memory %s B/B (target <= %.2f): %s',
                                    $JOBNAME{$j}, fmt_s($bx), $ok_b && $fast ? fmt_x($speed) : 'n/a',
                                    $fast ? " ($fast->{tool})" : '', $ziel, $SPEED_TARGET, $CAT_TARGET,
                                    $sp ? 'PASS' : 'FAIL', fmt_bpb($bx), $RSS_TARGET, $mem ? 'PASS' : 'FAIL');
        }
    }

    # brixfilter against perl on the other kinds of document.
    my @k = (['document', 'job', 'brixfilter s', 'MB/s', 'RSS B/B', 'perl s', 'MB/s', 'brixfilter/perl', 'note']);
    my %seen;
    my @labels = grep { !$seen{$_}++ } map { $_->{label} } @kinds;
    for my $l (@labels) {
        for my $j (@JOBS) {
            my ($bx) = grep { $_->{label} eq $l && $_->{job} eq $j && $_->{tool} eq 'brixfilter' } @kinds;
            my ($p) = grep { $_->{label} eq $l && $_->{job} eq $j && $_->{tool} eq 'perl' } @kinds;
            next unless $bx;
            my $ratio = '';
            $ratio = fmt_x(mbps($bx) / mbps($p))
                if $p && ok_run($bx) && ok_run($p) && !timed_out($bx) && !timed_out($p) && mbps($p) > 0;
            my @note = grep { length } (note_status($bx));
            push @note, 'perl: ' . note_status($p) if $p && note_status($p);
            push @note, 'memory over target' if ok_run($bx) && bpb($bx) > $RSS_TARGET;
            # The perl lines are exact equivalents on catalogs only; elsewhere they do comparable work.
            if ($l =~ /^catalog/ && $p && ok_run($bx) && ok_run($p) && !timed_out($bx) && !timed_out($p)) {
                push @note, ($bx->{crc} eq $p->{crc} && $bx->{outlen} == $p->{outlen})
                    ? 'same output as perl' : 'output differs from perl';
            }
            push @k, [$l, $JOBNAME{$j}, fmt_s($bx), fmt_mbps($bx), fmt_bpb($bx), $p ? fmt_s($p) : '', $p ? fmt_mbps($p) : '',
                      $ratio, join('; ', @note)];
        }
    }

    my ($b0) = grep { $_->{tool} eq 'brixfilter' } @main;
    my ($x0) = grep { $_->{tool} eq 'xmlstarlet' } @main;
    my $head = "Comparison: " . ($b0 ? "$b0->{label} (" . mb($b0->{bytes}) . ')' : '')
             . ($x0 ? "; xmlstarlet reads $x0->{label} (" . mb($x0->{bytes}) . ')' : '') . "\n";
    my $legend = "median s: median wall time of the timed runs; MB/s: input bytes (10^6) per second;\n"
               . "RSS: peak resident memory; RSS B/B: peak RSS per input byte;\n"
               . "brixfilter/peer: brixfilter's MB/s divided by the peer's (on brixfilter's line: by the fastest peer's).\n";
    my $walk_head = "Element options against the least element walk (bench/kleinster_lauf.c, which only\n"
                  . "finds and matches the tags and writes nothing):\n";
    print "\n$head\n", text_table(@t), "\n$legend\nChecks:\n", map({ "  $_\n" } @verdicts);
    print "\n$walk_head", map({ "  $_\n" } @walk) if @walk;
    print "\nOther document kinds (brixfilter against perl):\n\n", text_table(@k) if @k > 1;

    write_chart("$out/chart.svg", \%chart, $floor, $b0, $x0);

    my $md = "# brixfilter benchmark\n\n" . "```\n" . environment("$out/environment.txt") . "```\n\n"
           . "$head\n" . md_table(@t) . "\n$legend\n"
           . "![MB/s per job and tool](chart.svg)\n\n## Checks\n\n" . join('', map { "- $_\n" } @verdicts);
    $md .= "\n## Least element walk\n\n$walk_head\n" . join('', map { "- $_\n" } @walk) if @walk;
    $md .= "\n## Other document kinds\n\n" . md_table(@k) if @k > 1;
    $md .= "\n## Command lines\n\n```\n";
    for my $r (@main) { $md .= "$r->{cmd}\n" }
    $md .= "```\n";
    open my $m, '>', "$out/results.md" or die "report.pl: $out/results.md: $!\n";
    print $m $md;
    close $m;
    print "\nWrote $out/results.md and $out/chart.svg\n";
} elsif ($mode eq 'scaling') {
    my @t = (['job', 'check', 'small', 'median s', 'large', 'median s', 'rounds', 'size ratio', 'time ratio', 'limit',
              'verdict']);
    for my $j (@JOBS) {
        for my $sec (qw(size depth)) {
            my @r = grep { $_->{section} eq $sec && $_->{job} eq $j } @rows;
            next unless @r == 2;
            my ($s, $l) = @r;    # the small (or shallow) document first
            my $size_ratio = $sec eq 'size' ? $l->{bytes} / $s->{bytes} : 1;
            my $limit      = $SCALE_SLACK * $size_ratio;
            my $bad        = !ok_run($s) || !ok_run($l) || timed_out($s) || timed_out($l);
            my $ratio      = $s->{median} > 0 ? $l->{median} / $s->{median} : 0;
            my $pass       = !$bad && $ratio <= $limit;
            $failed ||= !$pass;
            my $why = $bad ? ' (' . join(', ', grep { length } note_status($s), note_status($l)) . ')' : '';
            push @t, [$JOBNAME{$j}, $sec, $s->{label}, fmt_s($s), $l->{label}, fmt_s($l), $s->{runs},
                      sprintf('%.2f', $size_ratio), (timed_out($l) ? '>' : '') . sprintf('%.2f', $ratio),
                      sprintf('%.2f', $limit), ($pass ? 'PASS' : 'FAIL') . $why];
        }
    }
    my $legend = "size: time(large)/time(small) must stay within $SCALE_SLACK x the size ratio;\n"
               . "depth: same size, depth 100000 against depth 10: the time ratio must stay within $SCALE_SLACK.\n"
               . "Times are medians of rounds that alternate the two documents (A B, B A, ...), so that other\n"
               . "load on the machine falls on both alike; one round means a single run (slow or timed out).\n";
    print "\nScaling checks (brixfilter):\n\n", text_table(@t), "\n$legend";
    my $md = "# brixfilter scaling checks\n\n```\n" . environment("$out/environment-scaling.txt") . "```\n\n"
           . md_table(@t) . "\n$legend";
    open my $m, '>', "$out/scaling.md" or die "report.pl: $out/scaling.md: $!\n";
    print $m $md;
    close $m;
    print "\nWrote $out/scaling.md\n";
} elsif ($mode eq 'hostile') {
    $failed = hostile_report();
} else {
    die "report.pl: unknown mode $mode\n";
}
exit($failed ? 1 : 0);

# Grouped bars of MB/s per job and tool on a logarithmic axis, with cat's MB/s as a dashed line.
sub write_chart {
    my ($file, $data, $floor, $b0, $x0) = @_;
    my %colour = (brixfilter => '#d62728', perl => '#1f77b4', sed => '#2ca02c', xmlstarlet => '#9467bd');
    my @jobs = grep { $data->{$_} } @JOBS;
    my ($W, $H, $left, $right, $top, $bottom) = (900, 440, 70, 20, 50, 90);
    my $pw = $W - $left - $right;
    my $ph = $H - $top - $bottom;
    # The target of each job: the fastest peer's MB/s times the speed target.
    my %target;
    for my $j (@jobs) {
        my ($best) = sort { $b <=> $a } map { $data->{$j}{$_} } grep { $_ ne 'brixfilter' } keys %{ $data->{$j} };
        $target{$j} = $best * $SPEED_TARGET if $best && $best > 0;
    }
    my @vals = grep { $_ > 0 } (map({ values %{ $data->{$_} } } @jobs), values %target);
    push @vals, mbps($floor) if $floor && mbps($floor) > 0;
    @vals = (1) unless @vals;
    my ($lo, $hi) = (1e9, 0);
    for (@vals) { $lo = $_ if $_ < $lo; $hi = $_ if $_ > $hi }
    my $e0 = floor_log10($lo / 2);    # room below the shortest bar
    my $e1 = floor_log10($hi) + 1;
    $e1 = $e0 + 1 if $e1 <= $e0;
    my $y = sub {
        my $v = shift;
        return $top + $ph if $v <= 0;
        my $f = (log($v) / log(10) - $e0) / ($e1 - $e0);
        $f = 0 if $f < 0;
        return $top + $ph - $f * $ph;
    };
    my $svg = qq{<svg xmlns="http://www.w3.org/2000/svg" width="$W" height="$H" viewBox="0 0 $W $H" font-family="sans-serif" font-size="12">\n};
    $svg .= qq{<rect width="$W" height="$H" fill="white"/>\n};
    my $title = 'brixfilter and its peers: MB/s per job (log scale, higher is better)';
    $svg .= qq{<text x="} . ($W / 2) . qq{" y="20" text-anchor="middle" font-size="15">$title</text>\n};
    my $sub = ($b0 ? "$b0->{label}" : '') . ($x0 ? "; xmlstarlet on $x0->{label}" : '');
    my $env = environment("$out/environment.txt");
    $sub .= "; commit $1" if $env =~ /^commit: (\S+)/m;
    $sub .= ", $1" if $env =~ /^date: (\S+)/m;
    $svg .= qq{<text x="} . ($W / 2) . qq{" y="37" text-anchor="middle" fill="#555">$sub</text>\n};
    for my $e ($e0 .. $e1) {
        my $yy = sprintf '%.1f', $y->(10**$e);
        my $lab = 10**$e >= 1 ? sprintf('%d', 10**$e) : sprintf('%g', 10**$e);
        $svg .= qq{<line x1="$left" y1="$yy" x2="} . ($W - $right) . qq{" y2="$yy" stroke="#ddd"/>\n};
        $svg .= qq{<text x="} . ($left - 6) . qq{" y="} . ($yy + 4) . qq{" text-anchor="end">$lab</text>\n};
    }
    $svg .= qq{<text transform="translate(18,} . ($top + $ph / 2) . qq{) rotate(-90)" text-anchor="middle">MB/s</text>\n};
    my $gw = @jobs ? $pw / @jobs : $pw;
    for my $i (0 .. $#jobs) {
        my $j = $jobs[$i];
        my @tools = grep { exists $data->{$j}{$_} } @TOOLS;
        my $bw = ($gw * 0.8) / (@tools || 1);
        my $x0g = $left + $i * $gw + $gw * 0.1;
        for my $k (0 .. $#tools) {
            my $v  = $data->{$j}{ $tools[$k] };
            my $yy = $y->($v);
            my $h  = $top + $ph - $yy;
            my $x  = $x0g + $k * $bw;
            $svg .= sprintf qq{<rect x="%.1f" y="%.1f" width="%.1f" height="%.1f" fill="%s"><title>%s %s: %.1f MB/s</title></rect>\n},
                            $x, $yy, $bw - 2, $h, $colour{ $tools[$k] }, $j, $tools[$k], $v;
            my $lab = $v > 0 ? ($v >= 100 ? sprintf('%.0f', $v) : sprintf('%.1f', $v)) : 'n/a';
            $svg .= sprintf qq{<text x="%.1f" y="%.1f" text-anchor="middle" font-size="9">%s</text>\n},
                            $x + ($bw - 2) / 2, $yy - 3, $lab;
        }
        if ($target{$j}) {
            my $yy = $y->($target{$j});
            $svg .= sprintf qq{<line x1="%.1f" y1="%.1f" x2="%.1f" y2="%.1f" stroke="%s" stroke-width="2" stroke-dasharray="4,3"><title>target: %.0f MB/s</title></line>\n},
                            $x0g, $yy, $x0g + $gw * 0.8, $yy, $colour{brixfilter}, $target{$j};
        }
        my $name = $JOBNAME{$j};
        $svg .= sprintf qq{<text x="%.1f" y="%.1f" text-anchor="middle">%s</text>\n}, $left + $i * $gw + $gw / 2,
                        $top + $ph + 18, xml_escape($name);
    }
    if ($floor && mbps($floor) > 0) {
        my $yy = sprintf '%.1f', $y->(mbps($floor));
        $svg .= qq{<line x1="$left" y1="$yy" x2="} . ($W - $right) . qq{" y2="$yy" stroke="#444" stroke-dasharray="6,4"/>\n};
        $svg .= qq{<text x="} . ($W - $right - 4) . qq{" y="} . ($yy - 4) . qq{" text-anchor="end" fill="#444">cat (floor) }
              . sprintf('%.0f', mbps($floor)) . qq{ MB/s</text>\n};
    }
    $svg .= qq{<line x1="$left" y1="} . ($top + $ph) . qq{" x2="} . ($W - $right) . qq{" y2="} . ($top + $ph) . qq{" stroke="black"/>\n};
    my $lx = $left;
    for my $t (@TOOLS) {
        $svg .= qq{<rect x="$lx" y="} . ($H - 30) . qq{" width="12" height="12" fill="$colour{$t}"/>\n};
        $svg .= qq{<text x="} . ($lx + 16) . qq{" y="} . ($H - 20) . qq{">$t</text>\n};
        $lx += 120;
    }
    $svg .= qq{<line x1="$lx" y1="} . ($H - 24) . qq{" x2="} . ($lx + 14) . qq{" y2="} . ($H - 24)
          . qq{" stroke="$colour{brixfilter}" stroke-width="2" stroke-dasharray="4,3"/>\n};
    $svg .= qq{<text x="} . ($lx + 18) . qq{" y="} . ($H - 20) . qq{">target: ${SPEED_TARGET}x the fastest peer</text>\n};
    $svg .= "</svg>\n";
    open my $s, '>', $file or die "report.pl: $file: $!\n";
    print $s $svg;
    close $s;
}

# Hostile documents: one line per kind and option with the times of the small and the large
# document, their ratio and the peak memory of the large run. Returns true when a check failed.
sub hostile_report {
    my (%by, @kinds);
    for my $r (@rows) {
        my ($kind, $size) = $r->{label} =~ /^(.*)-([^-]+)$/ or next;
        push @kinds, $kind unless $by{$kind};
        push @{ $by{$kind}{ $r->{job} } }, { %$r, size => $size };
    }
    my ($sn, $ln);
    my @t;
    my ($pass, $total, $bad) = (0, 0, 0);
    for my $kind (@kinds) {
        for my $j (@HOSTILE_JOBS) {
            my $p = $by{$kind}{$j} or next;
            next unless @$p == 2;
            my ($s, $l) = sort { $a->{bytes} <=> $b->{bytes} } @$p;
            ($sn, $ln) = ($s->{size}, $l->{size});
            my $limit = $HOSTILE_SLACK * $l->{bytes} / $s->{bytes};
            my $ratio = $s->{median} > 0 ? $l->{median} / $s->{median} : 0;
            my @why;
            for my $r ($s, $l) {
                push @why, not_run($r) ? "$r->{size} not run" : "timeout at $r->{size}" if timed_out($r);
                push @why, "exit $r->{status} at $r->{size}" if !timed_out($r) && !ok_run($r);
            }
            my $broken = @why > 0;
            push @why, sprintf('ratio > %.2f', $limit) if !$broken && $ratio > $limit;
            push @why, "$l->{size} >= ${HOSTILE_TIME} s" if !timed_out($l) && ok_run($l) && $l->{median} >= $HOSTILE_TIME;
            my $ok = !@why;
            $total++;
            $pass++ if $ok;
            $bad = 1 unless $ok;
            my $ratio_text = timed_out($s) ? 'n/a' : (timed_out($l) ? '>' : '') . sprintf('%.2f', $ratio);
            my $rss_ok = ok_run($l) && !timed_out($l);
            push @t, [$kind, $HOSTILE_JOBNAME{$j} // $j, fmt_s($s), fmt_s($l), $ratio_text,
                      $rss_ok ? fmt_mib($l) : 'n/a', $rss_ok ? fmt_bpb($l) : 'n/a',
                      $ok ? 'PASS' : 'FAIL (' . join(', ', @why) . ')'];
        }
    }
    die "report.pl: no pairs of measurements in $tsv\n" unless @t;
    unshift @t, ['kind', 'option', "time $sn s", "time $ln s", 'ratio', "RSS MiB $ln", "RSS B/B $ln", 'verdict'];
    my $legend = "time: median wall-clock seconds of rounds that alternate the two documents (one run each when\n"
               . "either takes 2 s or more; '>' a timeout);\n"
               . "ratio: time($ln) / time($sn); RSS: peak resident memory of the $ln run, in MiB and per input byte.\n"
               . "PASS: ratio within $HOSTILE_SLACK x the size ratio and time($ln) under ${HOSTILE_TIME} s; a timeout is a FAIL\n"
               . "(when the $sn document times out, the $ln one is not run).\n";
    my $sum = "$pass of $total PASS, " . ($total - $pass) . " FAIL\n";
    print "\nHostile documents (brixfilter):\n\n", text_table(@t), "\n$legend\n$sum";
    my $md = "# brixfilter on hostile documents\n\n```\n" . environment("$out/environment-hostile.txt") . "```\n\n"
           . md_table(@t) . "\n$legend\n$sum\n## Command lines\n\n```\n" . join('', map { "$_->{cmd}\n" } @rows) . "```\n";
    open my $m, '>', "$out/hostile.md" or die "report.pl: $out/hostile.md: $!\n";
    print $m $md;
    close $m;
    print "\nWrote $out/hostile.md\n";
    return $bad;
}

sub floor_log10 { my $v = shift; my $e = int(log($v) / log(10)); $e-- if 10**$e > $v; $e }
sub xml_escape  { my $s = shift; $s =~ s/&/&amp;/g; $s =~ s/</&lt;/g; $s =~ s/>/&gt;/g; $s }
